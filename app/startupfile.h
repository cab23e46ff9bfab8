#pragma once
// The file named on the command line (`orvane FILE`).
#include <QByteArray>

class Form1;

// Opens `name` (as the system spells it; a relative name is taken from
// `folder`) exactly as a drop of that one file on the window would: the
// same checks, messages and questions. True when it was opened.
bool openStartupFile(Form1 &window, const QByteArray &name, const QByteArray &folder);
