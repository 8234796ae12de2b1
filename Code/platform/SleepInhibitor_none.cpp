// Where the build has no system bus to talk to: no sleep lock is taken, and
// the batch runs as it would where logind refuses one.
#include "SleepInhibitor.h"

namespace tarquel::platform {

TSleepInhibitor::TSleepInhibitor(std::string who, std::string why, std::string busAddress)
    : Who_(std::move(who)), Why_(std::move(why)), BusAddress_(std::move(busAddress)) {}

TSleepInhibitor::~TSleepInhibitor() = default;

void TSleepInhibitor::Hold(bool) {}

}  // namespace tarquel::platform
