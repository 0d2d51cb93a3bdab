#pragma once
#include <string>

#include "definitions/PlaceholderExpander.h"
#include "definitions/SignatureStore.h"
#include "platform/FileSystem.h"
#include "removal/ExclusionList.h"
#include "scan/RegistryAccess.h"
#include "scan/ScanSink.h"

namespace nightjar::scan {

/// The registry phase: every key or named value of RegistryDefinition.dat that exists is
/// reported. A line below a root that 64-bit Windows keeps twice is looked up in both
/// views; each view where it exists is a hit of its own, named where it really lies (the
/// 32-bit one under Wow6432Node), so that removal deletes exactly what was found.
class RegistryScan {
  public:
    RegistryScan(platform::FileSystem& fs, RegistryAccess& access,
                 definitions::PlaceholderExpander& expander, definitions::SignatureStore& store,
                 removal::ExclusionList& exclusions);

    /// Reads RegistryDefinition.dat line by line (nothing when it is missing).
    void ScanRegistry(ScanSink& sink);

  private:
    struct LineEntry;

    void scanLine(const std::string& line, ScanSink& sink);
    /// The line's entry at `keyPath`, the path the line gives or its 32-bit twin.
    void checkView(const LineEntry& entry, const std::string& keyPath, ScanSink& sink);

    platform::FileSystem& fs_;
    RegistryAccess& access_;
    definitions::PlaceholderExpander& expander_;
    definitions::SignatureStore& store_;
    removal::ExclusionList& exclusions_;
};

}  // namespace nightjar::scan
