#include "console.h"

#include <cstdio>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace tallic::club {

Console::Console()
    : out_(stdout)
    , err_(stderr)
{
}

void Console::line(const QString &text)
{
    endProgress();
    out_ << text << Qt::endl;
}

void Console::warn(const QString &text)
{
    endProgress();
    out_.flush();
    err_ << "warning: " << text << Qt::endl;
}

void Console::progress(const QString &what, qint64 done, qint64 total)
{
    // A line written over is for a terminal; a log gets the lines that stay.
    static const bool terminal = ::isatty(fileno(stdout)) != 0;
    if (!terminal)
        return;
    if (shown_.isValid() && shown_.elapsed() < 200 && done < total)
        return;
    shown_.start();
    QString text = u"  "_s + what + u": "_s + QString::number(done);
    if (total > 0)
        text += u" of "_s + QString::number(total);
    text += u" rows"_s;
    const int width = int(text.size());
    out_ << '\r' << text.leftJustified(width_) << Qt::flush;
    width_ = width;
}

void Console::endProgress()
{
    if (width_ == 0)
        return;
    out_ << '\r' << QString(width_, u' ') << '\r' << Qt::flush;
    width_ = 0;
}

} // namespace tallic::club
