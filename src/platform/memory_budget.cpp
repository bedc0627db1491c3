#include "platform/memory_budget.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace corvane {

MemoryBudget::Hold::Hold(Hold&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

MemoryBudget::Hold& MemoryBudget::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        Release();
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

void MemoryBudget::Hold::Release() {
    if (budget_ != nullptr) {
        budget_->GiveBack(bytes_);
    }
    budget_ = nullptr;
    bytes_ = 0;
}

void MemoryBudget::Hold::SetTo(std::uint64_t bytes, MemoryBudget& budget) {
    if (budget_ == nullptr) {
        *this = budget.Take(bytes);
    } else if (bytes < bytes_) {
        budget_->GiveBack(bytes_ - bytes);
        bytes_ = bytes;
    } else if (bytes > bytes_) {
        Hold more = budget_->Take(bytes - bytes_);
        bytes_ = bytes;
        more.budget_ = nullptr;
    }
}

std::uint64_t MemoryBudget::Held() const {
    const std::lock_guard lock(mutex_);
    return held_;
}

std::uint64_t MemoryBudget::MostHeld() const {
    const std::lock_guard lock(mutex_);
    return mostHeld_;
}

std::optional<MemoryBudget::Hold> MemoryBudget::Reserve(std::uint64_t bytes,
                                                        const std::function<Wait()>& decide) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (held_ == 0 || bytes <= limit_ - std::min(held_, limit_)) {
            break;
        }
        const Wait wait = decide();
        if (wait == Wait::GiveUp) {
            return std::nullopt;
        }
        if (wait == Wait::GoAhead) {
            break;
        }
        changed_.wait(lock);
    }
    held_ += bytes;
    mostHeld_ = std::max(mostHeld_, held_);
    return Hold(this, bytes);
}

MemoryBudget::Hold MemoryBudget::Take(std::uint64_t bytes) {
    const std::lock_guard lock(mutex_);
    held_ += bytes;
    mostHeld_ = std::max(mostHeld_, held_);
    return Hold(this, bytes);
}

void MemoryBudget::Wake() {
    // Taken so that a thread between its `decide` and its wait cannot miss the call.
    { const std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

void MemoryBudget::GiveBack(std::uint64_t bytes) {
    {
        const std::lock_guard lock(mutex_);
        held_ -= std::min(held_, bytes);
    }
    changed_.notify_all();
}

namespace {

constexpr std::uint64_t kMiB = std::uint64_t(1) << 20;
// Pictures in flight beyond what the cores can work on make a run no faster, only heavier. Two
// 24 MP progressive JPEGs per two cores (their coefficients) fit; a 48 MP one is made alone.
constexpr std::uint64_t kBudgetPerCore = 160 * kMiB;

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(64 * 1024);
}

// A number of bytes written in a cgroup file; nothing for "max" or no limit.
std::optional<std::uint64_t> CgroupLimit(const QByteArray& text) {
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok);
    // cgroup v1 writes "no limit" as the largest page-aligned 63-bit number.
    if (!ok || value >= (std::uint64_t(1) << 62)) {
        return std::nullopt;
    }
    return value;
}

// The limit of the process's own memory cgroup: v2 (a line "0::/path") or v1 (a line
// "N:...memory...:/path").
std::optional<std::uint64_t> OwnCgroupLimit(const MemorySources& sources) {
    const QList<QByteArray> lines = ReadSmallFile(sources.ownCgroup).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 3) {
            continue;
        }
        const QString path = QString::fromUtf8(line.mid(fields[0].size() + fields[1].size() + 2));
        if (fields[0] == "0" && fields[1].isEmpty()) {
            if (auto limit =
                    CgroupLimit(ReadSmallFile(sources.cgroupRoot + path + "/memory.max"))) {
                return limit;
            }
        } else if (fields[1].split(',').contains("memory")) {
            if (auto limit = CgroupLimit(ReadSmallFile(sources.cgroupRoot + "/memory" + path +
                                                       "/memory.limit_in_bytes"))) {
                return limit;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> AvailableMemory(const MemorySources& sources) {
    static const QRegularExpression kLine(QStringLiteral("^MemAvailable:\\s*(\\d+)\\s*kB"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match =
        kLine.match(QString::fromUtf8(ReadSmallFile(sources.meminfo)));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1).toULongLong() * 1024;
}

std::optional<std::uint64_t> AddressSpaceLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        return limit.rlim_cur;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> MemoryTheProcessMayUse(const MemorySources& sources) {
    std::optional<std::uint64_t> most;
    for (const auto& bound :
         {OwnCgroupLimit(sources), AvailableMemory(sources), AddressSpaceLimit()}) {
        if (bound) {
            most = std::min(most.value_or(*bound), *bound);
        }
    }
    return most;
}

std::uint64_t DefaultMemoryBudget(int cores, const MemorySources& sources) {
    std::uint64_t budget = std::uint64_t(std::max(cores, 1)) * kBudgetPerCore;
    if (const auto most = MemoryTheProcessMayUse(sources)) {
        budget = std::min(budget, *most / 2);
    }
    return std::max<std::uint64_t>(budget, kMiB);
}

std::optional<std::uint64_t> ParseMemorySize(const QString& text) {
    static const QRegularExpression kSize(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*(?:([kmg])(?:i?b)?|b)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = kSize.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const double number = match.captured(1).toDouble();
    const QString unit = match.captured(2).toLower();
    const double scale = unit == u"k"   ? 1024.0
                         : unit == u"m" ? 1024.0 * 1024
                         : unit == u"g" ? 1024.0 * 1024 * 1024
                                        : 1.0;
    const double bytes = std::floor(number * scale);
    if (!(bytes >= 1.0) || bytes > double(std::uint64_t(1) << 62)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(bytes);
}

}  // namespace corvane
