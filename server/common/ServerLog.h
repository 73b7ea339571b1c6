#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcServer)
// Each call as it starts and each idle connection closed, for tracing (off
// unless enabled by QT_LOGGING_RULES="kvr.server.calls.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcCalls)
