// In-process controllers for tests: an install run of the built launcher's
// documents on given servers, and a loop that serves its window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CLogic;
class CLogImplW;

namespace testing_support {

// A controller whose client update data lists `servers`, logging to `log`,
// as if started from `launcherPath`; preinit and init have run (the run
// mode is checked to be rmInstall).
std::unique_ptr<CLogic> InstallRunLogic(const std::vector<std::string>& servers, CLogImplW& log,
                                        const std::string& launcherPath);

// Serves the controller's window until `done` or `timeoutMs`; done() at the end.
bool PumpUntil(CLogic& logic, const std::function<bool()>& done, uint32_t timeoutMs = 30000);

}  // namespace testing_support
