#pragma once

#include "basic/postingrules.h"
#include "basic/result.h"
#include "today.h"
#include "validators.h"

#include <QString>

#include <array>

namespace tallic {

// The club's settings for the A/R module, read once at start-up from the config database
// (tables ar, pos, gl and company) under the names the suite's modules give them, and
// passed to what needs them.
struct ArSettings
{
    // [0] the lowest access level that may run the module; [3] the lowest that may use the
    // end-of-month editor.
    std::array<qint16, 4> LevelLimits {};
    qint16 ArMonth = 0; // the open A/R month, 1-12
    qint32 ArYear = 0;
    double ArAccount = 0; // chits are never keyed to it
    double ProfitAccount = 0; // nor to the current-profit account
    bool TaxServiceCharge = false; // the service charge is taxed ("Y")
    float ScTaxableShare = 0;
    QString ScTaxBasis; // "S": at the company's rate; "D" or empty: at the account's
    // In upper case: "N" off; "Y" or "G" chit consolidation, in which nothing is computed.
    // Off whatever the column says while the point-of-sale program is installed.
    QString ConsolidationMode;
    float CompanyTaxRate = 0;
    EmployeeLookup EmpValidate = EmployeeLookup::EmployeeId;
    bool SkipGlCheck = false;
    bool SkipMemberCheck = false;
    bool SkipEmpCheck = false;
    qint16 ValidityMode = 0; // the batch's validity total (validity.h)
    FunctionKeyTexts FunctionKeyText {};

    // Chit consolidation is on.
    bool consolidating() const { return ConsolidationMode != QLatin1String("N"); }
    // What the charges of every chit follow.
    ChargeSettings chargeSettings() const;
};

// Reads the settings. A Null consolidation column is set to "N" in the configuration; a
// function-key text "MMDDYYYY" or "YYYYMMDD" becomes today's date. A value that does not
// fit its setting fails as the language's overflow (6), a row without the columns as a
// subscript out of range (9); a database failure is passed on.
Result<ArSettings> readArSettings();

struct Session;

// Why the module may not run for this session (the launch code, the user's level, a club
// whose accounts are not set), as the box says it; empty when it may.
QString startRefusal(const Session &session, const ArSettings &settings);

} // namespace tallic
