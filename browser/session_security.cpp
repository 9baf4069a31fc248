// A browser frame's session security: the site's encryption, kept file times and verified
// transfers go to the engine, and a certificate that fails the checks goes to the user.

#include "browser/browser_frame.h"

#include "data/data_module.h"
#include "ftp/ftp.h"
#include "ui/prompt_service.h"

void TBrowserFrame::applySiteSecurity(int id, const QString& host, int port) {
    const SiteSecurityRecord security = dataModule_.ReadSiteSecurity(id);
    ftp_->Encryption = static_cast<TNetFtpEncryption>(std::clamp(security.encryption, 0, 3));
    ftp_->KeepFileTimes = security.keeptime;
    ftp_->VerifyTransfers = security.verify;
    ftp_->TrustedFingerprints.clear();
    for (const QString& fingerprint : dataModule_.TrustedCertificates(host, port))
        ftp_->TrustedFingerprints.push_back(fingerprint.toStdString());
    ftp_->OnCertificate = [this, host, port](const TNetCertificateInfo& c) {
        const QString text =
            tr("The certificate of %1:%2 is not trusted.\n%3\n\nSubject: %4\nIssuer: %5\n"
               "Valid from: %6\nValid until: %7\nSHA-256 fingerprint: %8\n\n"
               "Connect all the same?")
                .arg(host)
                .arg(port)
                .arg(QString::fromStdString(c.Problem), QString::fromStdString(c.Subject),
                     QString::fromStdString(c.Issuer), QString::fromStdString(c.ValidFrom),
                     QString::fromStdString(c.ValidUntil), QString::fromStdString(c.Fingerprint));
        const int choice = Prompt().Choose(this, PromptKind::Warning, text,
                                           {tr("Trust once"), tr("Always trust"), tr("Cancel")});
        if (choice == 0) return taTrustOnce;
        if (choice != 1) return taCancel;
        dataModule_.TrustCertificate(host, port, QString::fromStdString(c.Fingerprint),
                                     QString::fromStdString(c.Subject));
        return taAlwaysTrust;
    };
}
