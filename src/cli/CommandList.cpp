#include "cli/BackupCommand.h"
#include "cli/Command.h"
#include "cli/ConvertCommand.h"
#include "cli/DecodeCommand.h"
#include "cli/DeleteCommand.h"
#include "cli/DemoCardCommand.h"
#include "cli/DrivesCommand.h"
#include "cli/ImportCommand.h"
#include "cli/LogCommand.h"
#include "cli/MarkCommand.h"
#include "cli/PhonebookCommand.h"
#include "cli/RecordingCommand.h"
#include "cli/RepairCommand.h"
#include "cli/VerifyCommand.h"
#include "cli/WatchCommand.h"

namespace tessa::cli {

const std::vector<std::unique_ptr<Command>>& commandList() {
    static const std::vector<std::unique_ptr<Command>> commands = [] {
        std::vector<std::unique_ptr<Command>> list;
        list.push_back(std::make_unique<LogCommand>());
        list.push_back(std::make_unique<MarkCommand>());
        list.push_back(std::make_unique<DeleteCommand>());
        list.push_back(std::make_unique<RecordingCommand>());
        list.push_back(std::make_unique<DecodeCommand>());
        list.push_back(std::make_unique<ConvertCommand>());
        list.push_back(std::make_unique<BackupCommand>());
        list.push_back(std::make_unique<VerifyCommand>());
        list.push_back(std::make_unique<WatchCommand>());
        list.push_back(std::make_unique<ImportCommand>());
        list.push_back(std::make_unique<RepairCommand>());
        list.push_back(std::make_unique<DrivesCommand>());
        list.push_back(std::make_unique<PhonebookCommand>());
        list.push_back(std::make_unique<DemoCardCommand>());
        return list;
    }();
    return commands;
}

} // namespace tessa::cli
