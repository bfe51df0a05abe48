#include "app/apply_actions.h"

#include "app/long_name_run.h"
#include "base/log_impl.h"
#include "update/changes_file.h"

bool ApplyActions(const ApplyActionsRequest& request) {
  if (request.log) request.log->WriteText("Apply actions (sed.exe)");
  PostUpdateActions actions;
  if (request.clientFolder.size() < 4 || !ReadPostUpdateActions(request.configRoot, actions)) return false;
  ChangesFile changes(request.clientFolder, request.clientProcess);
  if (actions.longName) {
    const std::optional<LongNameRunArguments> run =
        PlanLongNameAction(*actions.longName, changes, request.clientFolder, request.portable, request.installMode);
    if (run && StartLongNameRun(*run, request.runningPath)) {
      if (request.log) request.log->WriteText("ApplyActions() - need exit");
      return true;
    }
  }
  ApplyRenameActions(actions.renames, changes, request.clientFolder, request.listed);
  changes.RecordClientVersion();
  return false;
}
