// The documentation the windows' hyperlinks open: the README that the build
// puts in the program folder.
#pragma once

#include <QString>

QString DocumentationUrl();
QString PluginsDocumentationUrl(); // its section on input plug-ins
