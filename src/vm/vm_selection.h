// The choice of the VM library among the VMs that the runtime's jvm.cfg declares.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"

/// The library of the VM directory `vmDirectory` under `javaHome`, when one of its candidate
/// places holds a regular file.
std::optional<std::string> findVmLibrary(const std::string& javaHome, const std::string& vmDirectory);

/// The VM library chosen, or why there is none.
struct VmChoice {
    std::string libraryPath;  ///< empty when no VM could be chosen
    std::string reason;       ///< the failure in words, for the user's message
    std::string warnings;     ///< the lines for stderr: a VM used in place of the one asked for, the failure
};

/// Chooses the library of the VM `vmName` from `table`, else of any VM of the table whose
/// library is there. Writes nothing: the start writes `warnings` when the launch reaches them.
VmChoice selectVm(const std::string& javaHome, const std::string& vmName, const std::vector<VmEntry>& table);
