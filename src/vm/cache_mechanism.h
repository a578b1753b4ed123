// The ways a runtime can keep class data between starts: what the start-up cache's interface
// and its files' bookkeeping both name, so that neither needs the other's header for it.
#pragma once

/// The ways a runtime can keep class data between starts, from its feature version.
enum class CacheMechanism {
    None,            ///< before JDK 13, or unknown
    ManagedArchive,  ///< JDK 13-24: a training run lists its classes, a quiet child archives them
    AotCache,        ///< JDK 25 and later: the same, the classes linked ahead of time
};
