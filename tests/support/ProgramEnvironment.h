// The environment of a real orvella process in a test: its data folder,
// registry, desktop folders and the private runtime folder of the command
// channel all inside one temporary folder, so that the program neither meets
// another running instance nor touches the user's desktop.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>

#include <string>

namespace testsupport {

// root: a folder with a trailing "/". Message boxes are logged to root + "boxes.jsonl".
QProcessEnvironment ProgramEnvironment(const std::string& root);

// Ends a program as the desktop does (SIGTERM), killing it when it lingers.
void StopProgram(QProcess& process);

} // namespace testsupport
