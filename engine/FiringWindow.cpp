#include "engine/FiringWindow.h"

FiringWindow::FiringWindow(const TapePosition& tape, int frame)
    : frame_(frame),
      opens_(tape.surelyReached(frame - 1)),
      closes_(tape.possiblyReached(frame) - std::chrono::duration_cast<Clock::duration>(transit))
{
}
