#pragma once

#include <QString>
#include <QVariantList>

#include <array>

namespace tallic {

// The run-wide values every part of the program reads, under the names the suite's
// modules share. One instance lives for the whole run; tests reset it between runs.
struct SharedState
{
    // Start-up and settings.
    QString CommandLine;
    QString UserName;
    QString LaunchCode;
    qint16 AccessLevel = 0;
    std::array<qint16, 4> LevelLimits {};
    qint16 ArMonth = 0;
    qint32 ArYear = 0;
    double ArAccount = 0;
    double ProfitAccount = 0;
    QString TaxServiceCharge;
    float ScTaxableShare = 0;
    QString ScTaxBasis;
    QString ConsolidationMode;
    float SalesTaxRate = 0;
    float CompanyTaxRate = 0;
    qint16 TaxExempt = 0;
    qint16 TaxBypass = 0;
    qint16 ScBypass = 0;
    qint16 TransMode = 0;
    qint16 EmpValidate = 0;
    qint16 SkipGlCheck = 0;
    qint16 SkipMemberCheck = 0;
    qint16 SkipEmpCheck = 0;
    qint16 ValidityMode = 0;
    std::array<QString, 13> FunctionKeyText {}; // entries 1 to 12
    qint32 WorkDate = 0;
    QString PeriodLimit;
    QString StartStamp;
    QString LocationText;
    QString WorkDateText;

    // Messages.
    QString MsgText;
    QString MsgTitle;
    qint16 MsgAnswer = 0;
    QString TodayText;
    qint32 TodayNumber = 0;

    // The row buffer of the database layer, and which of its positions were Null in the
    // database (the buffer itself holds 0 for them).
    QVariantList RowValues;
    QList<bool> RowNulls;
    qint16 RowLastIndex = -1;
    bool AddNewMode = false;

    // The run-time error being handled: its number (0 for none), description and the
    // source line it came from (0 when none).
    qint32 ErrNumber = 0;
    QString ErrDescription;
    qint32 ErrLine = 0;

    // Validators' results.
    QString GLAcctText;
    qint16 GLLevel = 0;
    qint16 MemberTerminated = 0;
    QString SqlText;

    // Staff presence.
    QString SysUser;

    // Tools.
    QString ToolProgram;
    QString ToolCode;
    qint16 ToolLevel = 0;

    // Batch totals.
    double HashTotal = 0;
    double BaseTotal = 0;
    double SumTotal = 0;
    QString LastMemoText;
};

SharedState &state();

// The run-time error has been dealt with: ErrNumber 0, no description, no line.
void clearError();
// Back to the values at the start of a run.
void resetSharedState();

} // namespace tallic
