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
/// reported.
class RegistryScan {
  public:
    RegistryScan(platform::FileSystem& fs, RegistryAccess& access,
                 definitions::PlaceholderExpander& expander, definitions::SignatureStore& store,
                 removal::ExclusionList& exclusions);

    /// Reads RegistryDefinition.dat line by line (nothing when it is missing).
    void ScanRegistry(ScanSink& sink);

  private:
    void scanLine(const std::string& line, ScanSink& sink);

    platform::FileSystem& fs_;
    RegistryAccess& access_;
    definitions::PlaceholderExpander& expander_;
    definitions::SignatureStore& store_;
    removal::ExclusionList& exclusions_;
};

}  // namespace nightjar::scan
