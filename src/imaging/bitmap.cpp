#include "imaging/bitmap.h"

namespace corvane {

bool IsUsable(Bitmap* bitmap) {
    return bitmap != nullptr && bitmap->TakeStatus() == ImageStatus::Ok && bitmap->Width() > 0 &&
           bitmap->Height() > 0;
}

}  // namespace corvane
