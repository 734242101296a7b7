#include "tools/decksim/EveryNth.h"

namespace decksim {

bool EveryNth::pick()
{
    if (n_ <= 0) {
        return false;
    }
    count_ = count_ % n_ + 1;
    if (count_ != n_) {
        return false;
    }
    ++picked_;
    return true;
}

}  // namespace decksim
