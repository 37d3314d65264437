// What the shell takes from outside at start-up. Tests replace parts of it (no logo, no serial ports).
#pragma once

#include <QByteArray>
#include <QUrl>
#include <string>
#include <vector>

namespace varnetik {

struct ShellConfig {
  std::vector<std::string> portCandidates;  // names the port scan tries, in order
  QByteArray iconFile;      // ICO file
  QByteArray logoFile;      // JPEG file
  QByteArray donationFile;  // GIF file
  QUrl makerPage;
  QUrl donationPage;
};

// The real machine's candidates, the embedded pictures and the addresses chosen at build time.
ShellConfig DefaultShellConfig();

// Host name of the maker's page, as shown in the logo's tooltip and the info window.
QString MakerHostName(const ShellConfig& config);

}  // namespace varnetik
