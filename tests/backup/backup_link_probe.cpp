// Linked against the backup layer alone with --no-as-needed, so that its dynamic section lists
// every shared library the layer's link closure brings in; a test reads that list.
#include "backup/BackupPlan.h"
#include "backup/BackupSession.h"

int main()
{
    CBackupPlan plan;
    plan.TickFolder("/tmp");
    CBackupSession session("127.0.0.1", "u", "p");
    return plan.Contains("/tmp/x") && !session.AccountKey().isEmpty() ? 0 : 1;
}
