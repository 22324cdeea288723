#include "model/io_command.h"

namespace zelvo {

IOCommand::IOCommand(OleDate created) : last_used_(OneYearEarlier(created)) {}

}  // namespace zelvo
