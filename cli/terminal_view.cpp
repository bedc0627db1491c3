#include "terminal_view.h"

#include <QCoreApplication>

namespace corvane {
namespace {

QString OneLine(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("  "));
    return line.simplified();
}

}  // namespace

void TerminalView::SetProgressText(const QString& text) {
    progressText_ = text;
    Draw();
}

void TerminalView::SetProgressPosition(int percent) {
    percent_ = percent;
    Draw();
}

void TerminalView::Draw() {
    if (quiet_ || progressText_.isEmpty()) {
        return;
    }
    const QString counts = OneLine(progressText_);
    if (live_) {
        constexpr int kWidth = 30;
        const int filled = percent_ * kWidth / 100;
        const QString bar = QString(filled, u'#') + QString(kWidth - filled, u'.');
        std::fprintf(out_, "\r\x1b[2K[%s] %3d%%  %s", qPrintable(bar), percent_,
                     qPrintable(counts));
        drawn_ = true;
    } else {
        const QString line = QStringLiteral("%1%  %2").arg(percent_).arg(counts);
        if (line == lastLine_) {
            return;
        }
        lastLine_ = line;
        std::fprintf(out_, "%s\n", qPrintable(line));
    }
    std::fflush(out_);
}

void TerminalView::ShowLine(const QString& text) {
    if (quiet_) {
        return;
    }
    std::fprintf(out_, "%s%s\n", drawn_ ? "\r\x1b[2K" : "", qPrintable(text));
    std::fflush(out_);
    Draw();
}

void TerminalView::PrintSummary(std::FILE* out, int unwrittenFiles) const {
    if (drawn_) {
        std::fprintf(out_, "\r\x1b[2K");
        std::fflush(out_);
    }
    if (!progressText_.isEmpty()) {
        QString counts = progressText_;
        counts.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        std::fprintf(out, "%s\n", qPrintable(counts));
        // Files that gave no output at all; corvane-batch --json lists each with its reason.
        std::fprintf(out, "%s%d\n",
                     qPrintable(QCoreApplication::translate("corvane", "未产生输出的文件数： ")),
                     unwrittenFiles);
    }
    if (!status_.isEmpty()) {
        std::fprintf(out, "%s\n", qPrintable(status_));
    }
    std::fflush(out);
}

}  // namespace corvane
