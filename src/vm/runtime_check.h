// The test that a directory holds a Java runtime, the answer of the prompt for one, and the
// runtime check that makes sure the launch has one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "messages/messages.h"
#include "vm/java_search.h"

/// The Java home an answer to the prompt names: the answer without enclosing double quotes,
/// less a final "\jre\bin\java.exe"
/// or, failing that, a final "\bin\java.exe" (POSIX: "/jre/bin/java", "/bin/java"); any
/// other answer unchanged. Matching is exact and case-sensitive.
std::string javaHomeFromAnswer(const std::string& answer);

/// Asks the user for the Java executable (saying `need` above the question when it is not
/// empty, and offering `downloadUrl` when it is not; no window under -nomsgbox) and returns the
/// candidate Java home, or the empty text when the user cancels or cannot be asked.
std::string promptForJavaExe(const std::string& need = std::string(), const std::string& downloadUrl = std::string());

/// Message 8 for `path`, its `detail` followed by "Get Java at <downloadUrl>" when there is one.
JavaLauncherException javaNotFound(const std::string& downloadUrl, const std::string& path,
                                   std::string detail = std::string());

/// The runtime the launch uses, its facts read once: with searching on (searchesForJava), the
/// configured home when it fits the request, else one found among the installed ones; without,
/// the configured home when it holds a runtime, else the answer remembered from an earlier start
/// while it holds one. Asks the user when there is none (and remembers an accepted answer for
/// later starts, searching or not), and throws
/// JavaLauncherException (message 8) when none is found; reading jvm.cfg throws as
/// readRuntimeFacts does. `verboseSearch` writes a line per candidate. A home other than the
/// configured one is written as SetJavaHome would keep it. A search fills `refusals` (when
/// given) with JavaSearch::refusals before it asks the user or throws.
RuntimeFacts ensureJavaRuntime(const LaunchSettings& settings, bool verboseSearch,
                               std::vector<std::string>* refusals = nullptr);

/// The runtime --print-java reports: the one the search chooses, or the configured home
/// examined as it is (the remembered answer where that holds no runtime); throws JavaLauncherException (message 8, no prompt) when there is none.
JavaCandidate javaToReport(const LaunchSettings& settings, bool verboseSearch);
