#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <variant>

namespace tallic {

// Why a routine could not do what it was asked: the suite's number for the failure, the
// text that explains it, and the database it happened in, when there is one. Each caller
// on the way out may say where it was (context()); fullText() tells it all.
struct Failure
{
    Failure() = default;
    Failure(qint32 number_, QString description_, QString database_ = QString())
        : number(number_)
        , description(std::move(description_))
        , database(std::move(database_))
    {
    }

    // The failure with where it happened added, around the places said before.
    Failure context(const QString &where) const &
    {
        Failure outer = *this;
        outer.contexts.prepend(where);
        return outer;
    }
    Failure context(const QString &where) &&
    {
        contexts.prepend(where);
        return std::move(*this);
    }

    // "where: where: description", outermost first: how the console and the boxes say it.
    QString fullText() const
    {
        QString text;
        for (const QString &where : contexts)
            text += where + QStringLiteral(": ");
        return text + description;
    }

    qint32 number = 0;
    QString description;
    // Where it happened, outermost first.
    QStringList contexts;
    QString database;
    // The operator has been told already, in the routine's own box (a missing database,
    // a number not on file): the caller only goes back, and shows nothing more.
    bool shown = false;
    // A write that ended quietly, as the suite's writes do once the values are being
    // written: nothing was saved, and it is the caller's to tell or not.
    bool quiet = false;
    // A database failure in the engine's own words, for what shows them as the engine gave
    // them: its whole text, and the reason within it (why a server is out of reach).
    QString engineText;
    QString reason;
};

// What a routine found: its value, or the failure that kept it from one. Every routine
// of the program that can fail answers so; the caller tests it at once.
//
//     const Result<DbRow> row = DbRead(db, sql);
//     if (!row) { ReportError(row.failure()); return; }
//     if (row->found) ...
template<typename T> class [[nodiscard]] Result
{
public:
    Result(const T &value)
        : content_(value)
    {
    }
    Result(T &&value)
        : content_(std::move(value))
    {
    }
    Result(Failure failure)
        : content_(std::move(failure))
    {
    }

    bool ok() const { return std::holds_alternative<T>(content_); }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T &value() const { return std::get<T>(content_); }
    T &value() { return std::get<T>(content_); }
    const T &operator*() const { return value(); }
    T &operator*() { return value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }

    // Only when not ok().
    const Failure &failure() const { return std::get<Failure>(content_); }

    // The result with where it happened added to its failure; a value passes untouched.
    Result context(const QString &where) const &
    {
        return ok() ? *this : Result(failure().context(where));
    }
    Result context(const QString &where) &&
    {
        if (!ok())
            std::get<Failure>(content_).contexts.prepend(where);
        return std::move(*this);
    }

private:
    std::variant<T, Failure> content_;
};

// For a routine that finds nothing but may fail.
template<> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure)
        : failed_(true)
        , failure_(std::move(failure))
    {
    }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Failure &failure() const { return failure_; }

    Result context(const QString &where) const &
    {
        return ok() ? *this : Result(failure_.context(where));
    }
    Result context(const QString &where) &&
    {
        if (!ok())
            failure_.contexts.prepend(where);
        return std::move(*this);
    }

private:
    bool failed_ = false;
    Failure failure_;
};

} // namespace tallic
