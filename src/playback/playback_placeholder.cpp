// Replaced by the media players.
