#pragma once
// The runtime an offline bundle carries: from a download tree that naib-publish made, the
// installer and signature of every system version and architecture the tree serves and
// the revocation lists of their chains, at the same paths under Contents/Resources/Runtime,
// where the program looks for them before it would download.

#include <string>
#include <vector>

namespace tools {

/// The bundle's folder for the carried tree, inside Contents/Resources.
inline constexpr char kCarriedTreeFolder[] = "Runtime";

/// One system version and architecture that the tree serves: paths relative to the tree.
struct CarriedInstaller {
  std::string installer;
  std::string signature;
  std::vector<std::string> lists;  ///< the lists the tree holds for its distribution points
};

struct CarriedRuntime {
  std::vector<CarriedInstaller> installers;
  /// Distribution points of the signatures' certificates whose list the tree lacks.
  std::vector<std::string> missingLists;
};

/// Finds in tree every folder at which the program, on some system version and
/// architecture, asks for its installer and signature, and the revocation lists for the
/// distribution points that the signatures' certificates and the embedded root name.
/// Returns a one-line refusal, empty when found is complete: no such folder in the tree,
/// or an installer, signature or list there (or a folder on the way) that is a symbolic
/// link or not a regular file, or an installer or signature that is missing.
std::string findCarriedRuntime(const std::string& tree, CarriedRuntime& found);

/// Copies what found names from tree into runtimeFolder (made as needed; files mode
/// 0644), then runs the program's own verification on each copied installer with its
/// copied signature and lists, so that what it accepts is the bytes the bundle carries.
/// Returns a one-line refusal, empty when every installer verifies.
std::string carryRuntime(const std::string& tree, const CarriedRuntime& found,
                         const std::string& runtimeFolder);

}  // namespace tools
