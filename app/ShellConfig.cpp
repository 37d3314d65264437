#include "app/ShellConfig.h"

#include "app/Pictures.h"
#include "operator/InfoContent.h"
#include "operator/WebAddresses.h"
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

QString MakerHostName(const ShellConfig& config) {
  const std::string address = config.makerPage.toString().toStdString();
  return QString::fromStdString(std::string(WebAddressHost(address)));
}

}  // namespace varnetik
