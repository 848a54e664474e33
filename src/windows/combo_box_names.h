#pragma once
// Screen readers on Linux read a combo box by its current text: the filter box would be
// "All" and the volume list "/". Combo boxes given an accessible name are read by that
// name here (their role), with the current text as their value; one without a name is
// still read by its text.

namespace glimmerby {

// Installs the accessible interface for combo boxes. Once per process is enough and more
// calls change nothing; combo boxes a screen reader asked about before keep Qt's naming.
void nameComboBoxesByRole();

} // namespace glimmerby
