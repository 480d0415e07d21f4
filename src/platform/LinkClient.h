#pragma once

#include "LinkProtocol.h"

#include <QString>
#include <memory>

class LinkFolder;

// Sends one command. 0 when accepted; 282 when no one listens; 286 when no answer
// comes within timeoutMs; 285 when the partner runs as another user (nothing is sent)
// or does not accept; 5 when the command is too long. In folder's place (by default
// the process's own, LinkFolder::process()).
int linkExecute(const QString& topic, const QString& command, int timeoutMs = 50000,
                const std::shared_ptr<const LinkFolder>& folder = {});
