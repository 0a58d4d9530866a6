#pragma once

#include <QString>

namespace tallic {

// The start-up guard against a pending database update (the marker file dbupdate.dat in
// the data folder). When one is pending it tells the operator and leaves "UPDREQ" in
// MsgText; otherwise MsgText is left empty and nothing is shown.
void CheckDbUpdate();

// The text of the update message; the lines about the point-of-sale program are added
// when it is installed in the data folder.
QString dbUpdateMessage(bool pointOfSaleInstalled);

} // namespace tallic
