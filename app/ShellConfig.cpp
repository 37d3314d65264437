#include "app/ShellConfig.h"

#include "app/Pictures.h"
#include "app/WebAddresses.h"
#include "serial/PortScan.h"

namespace varnetik {

ShellConfig DefaultShellConfig() {
  ShellConfig config;
  config.portCandidates = DefaultPortCandidates();
  config.iconFile = EmbeddedAsset(QStringLiteral("varnetik.ico"));
  config.logoFile = EmbeddedAsset(QStringLiteral("logo.jpg"));
  config.donationFile = EmbeddedAsset(QStringLiteral("donation.gif"));
  config.makerPage = QUrl(QString::fromUtf8(kMakerPageAddress));
  config.donationPage = QUrl(QString::fromUtf8(kDonationPageAddress));
  return config;
}

QString MakerHostName(const ShellConfig& config) { return config.makerPage.host(); }

}  // namespace varnetik
