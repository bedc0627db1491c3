#include "imaging/picture_memory.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <vector>

namespace corvane {
namespace {

// Pictures below this come from the ordinary allocator (its heap serves them well).
constexpr qsizetype kSmallestKept = 4 * 1024 * 1024;
// Blocks kept at most. Kept blocks are memory no picture uses: two (a picture and its turned or
// resized copy) saved 2% of the time of a run but raised its peak by up to a third; four saved
// no more time. A JPEG turned while it is decoded needs only one.
constexpr std::size_t kKeptBlocks = 1;
// Every block starts with its size; the pixels follow at this offset (keeps 64-byte alignment of
// what the allocator gives).
constexpr std::size_t kHeader = 64;

struct Block {
    void* base;
    std::size_t size;  // bytes of pixels
};

class Keeper {
public:
    // A block of at least `size` bytes: the smallest kept one that fits, else a fresh one (the
    // kept ones, all too small, are given back first).
    void* Take(std::size_t size) {
        {
            const std::lock_guard lock(mutex_);
            auto best = kept_.end();
            for (auto it = kept_.begin(); it != kept_.end(); ++it) {
                if (it->size >= size && (best == kept_.end() || it->size < best->size)) {
                    best = it;
                }
            }
            if (best != kept_.end()) {
                void* base = best->base;
                kept_.erase(best);
                return base;
            }
        }
        Release();
        void* base = std::malloc(kHeader + size);
        if (base != nullptr) {
            *static_cast<std::size_t*>(base) = size;
        }
        return base;
    }

    // Keeps the block unless enough are kept; then the smallest goes.
    void Give(void* base) {
        Block block{base, *static_cast<std::size_t*>(base)};
        {
            const std::lock_guard lock(mutex_);
            if (kept_.size() >= kKeptBlocks) {
                const auto smallest = std::min_element(
                    kept_.begin(), kept_.end(),
                    [](const Block& a, const Block& b) { return a.size < b.size; });
                if (smallest->size < block.size) {
                    std::swap(*smallest, block);
                }
            } else {
                kept_.push_back(block);
                return;
            }
        }
        std::free(block.base);
    }

    void Release() {
        std::vector<Block> released;
        {
            const std::lock_guard lock(mutex_);
            released.swap(kept_);
        }
        for (const Block& block : released) {
            std::free(block.base);
        }
    }

private:
    std::mutex mutex_;
    std::vector<Block> kept_;
};

// The most one allocation could ever get: the machine's memory and swap (the system refuses a
// larger single request at once), or less where the process is held to less. A request above it
// is answered here, without asking the allocator: a sanitizer's allocator would end the process
// instead of answering.
std::uint64_t MostBytesPossible() {
    static const std::uint64_t most = [] {
        std::uint64_t bytes = std::numeric_limits<std::uint64_t>::max();
        struct sysinfo info {};
        if (::sysinfo(&info) == 0) {
            bytes = (std::uint64_t(info.totalram) + info.totalswap) * info.mem_unit;
        }
        for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
            struct rlimit limit {};
            if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
                bytes = std::min<std::uint64_t>(bytes, limit.rlim_cur);
            }
        }
        return bytes;
    }();
    return most;
}

// Never destroyed: a picture may still be freed while the process ends.
Keeper& TheKeeper() {
    static Keeper* keeper = new Keeper;
    return *keeper;
}

void GiveBack(void* base) {
    TheKeeper().Give(base);
}

}  // namespace

QImage NewPicture(int width, int height, QImage::Format format) {
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // QImage's own row length: whole 32-bit words.
    const qsizetype rowBytes = ((qsizetype(width) * depth + 31) >> 5) << 2;
    if (width <= 0 || height <= 0 || rowBytes <= 0 ||
        rowBytes > std::numeric_limits<qsizetype>::max() / height) {
        return {};
    }
    const qsizetype size = rowBytes * height;
    if (std::uint64_t(size) > MostBytesPossible()) {
        return {};
    }
    if (size < kSmallestKept) {
        return QImage(width, height, format);
    }
    void* base = TheKeeper().Take(static_cast<std::size_t>(size));
    if (base == nullptr) {
        return {};
    }
    return QImage(static_cast<uchar*>(base) + kHeader, width, height, rowBytes, format, GiveBack,
                  base);
}

void ReleaseKeptPictureMemory() {
    TheKeeper().Release();
}

}  // namespace corvane
