#pragma once

#include <QString>

namespace tallic {

// The start-up guard against a pending database update (the marker file dbupdate.dat in
// the data folder): true when one is pending, and the operator has been told; otherwise
// nothing is shown.
bool CheckDbUpdate();

// The text of the update message; the lines about the point-of-sale program are added
// when it is installed in the data folder.
QString dbUpdateMessage(bool pointOfSaleInstalled);

} // namespace tallic
