#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcApp, "korvath.app", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGameDir, "korvath.gamedir", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWorlds, "korvath.worlds", QtWarningMsg)
Q_LOGGING_CATEGORY(lcCreator, "korvath.creator", QtWarningMsg)
