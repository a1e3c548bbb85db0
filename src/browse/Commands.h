#pragma once

// Command numbers of menus, toolbars and record list pages.

namespace tessa {

enum Command : int {
    CmdQuery = 32771,
    CmdPlay = 32772,
    CmdDelete = 32773,
    CmdSynchronise = 32774,
    CmdRefresh = 32775,
    CmdBackupAll = 32779,
    CmdExport = 32780,
    CmdContacts = 32781,
    CmdPickBackupLog = 32782,
    CmdMark = 32783,
    CmdEmail = 32784,
    CmdAutoBackup = 32787,
    CmdCardView = 32788,
    CmdBackupViewVx7 = 32789,
    CmdSetBackupFolder = 32790,
    CmdWaveformPlayer = 32791,
    CmdBackupSelected = 32793,
    CmdBackupViewVx5 = 32794,
    CmdExportWav = 32795,
    CmdEmailOriginals = 32796,
    CmdImport = 32798,
    CmdClearImport = 32799,
    CmdRepair = 32800,
    CmdVerifyBackup = 32850, // checks the copies of the backup against their checksums
    CmdAbout = 57664,
    CmdExit = 57665,
};

} // namespace tessa
