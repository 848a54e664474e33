#pragma once
// The slide show: Timer1's tick, the timer rule and the speed bar. Every caller that
// steps the show or re-applies the rule comes through here.

#include <QObject>

namespace glimmerby {

struct AppContext;

class SlideShow : public QObject {
    Q_OBJECT
  public:
    explicit SlideShow(AppContext &ctx);

    // Timer1 fired: the next file, then the timer rule. Under a batch or a typing field
    // the timer only starts again, so the show steps at the first tick after.
    void Tick();

    // Timer1 runs while the show is on, unless the show is waiting for a movie: the
    // current file is a movie of the show's endings and the movie player has it open.
    void applyTimerRule();

    // The show's step after a player's end (ShowNextFile). False when a batch or a
    // typing field holds the show; Timer1 is then started instead.
    bool advanceAfterEnd();

    // Turns the show on or off, with its toolbar button, and applies the rule.
    void setOn(bool on);

    // The speed bar's value: clamped to 1..10000, Timer1's interval and dispspeed.
    void setSpeed(int value);

  private:
    void step();
    bool held() const;

    AppContext &m_ctx;
    int m_unrecognizedRun = 0; // steps in a row that brought only "Unrecognize Format"
};

} // namespace glimmerby
