#include "app/WizardText.h"

namespace wizard {

QString WizardText::fontManagerRunning() {
    return tr(
        "\"Font Book\" is running, so the revision program can't start.\n"
        "Quit \"Font Book\", then start the \"OpenType Velmora font revision program\".");
}

QString WizardText::cancelRevision() {
    return tr(
        "The font revision will be stopped.\n\n"
        "To stop it, press the “Yes” button;\nnot to stop it, press the “No” button.");
}

QString WizardText::cancelSearch() {
    return tr(
        "The search for fonts to revise will be stopped.\nIs that all right?\n"
        "To stop it, press the “Yes” button;\nnot to stop it, press the “No” button.");
}

QString WizardText::noSource() { return tr("There is no font to revise from.\nThe revision is stopped."); }

QString WizardText::noTarget() { return tr("No font to revise was found.\n\nThe revision program ends."); }

QString WizardText::noTargetToRevise() { return tr("There is no font to revise.\nThe revision can't start."); }

QString WizardText::revisionSucceeded() {
    return tr(
        "The revision ended normally.\n\n"
        "To make the revised fonts take effect, the system will restart.\n"
        "To restart it, press “Restart”.");
}

QString WizardText::newFontsInUse() {
    return tr(
        "Applications started from now on already use the new fonts; restarting makes every running one use "
        "them.");
}

QString WizardText::noHostFolder(const QString& folder) { return tr("There is no folder %1.").arg(folder); }

QString WizardText::noPatchForTheseFonts(const QString& folder) {
    return tr("%1 holds no patch for these fonts.").arg(folder);
}

QString WizardText::unsignedPatches(const QString& folder) {
    return tr("The patches in %1 carry no signature of the vendor, which this program requires.").arg(folder);
}

QString WizardText::signatureDoesNotVerify(const QString& folder) {
    return tr("The signature of the patches in %1 does not verify.").arg(folder);
}

QString WizardText::manifestUnusable(const QString& folder) {
    return tr("The signed list of the patches in %1 can't be read.").arg(folder);
}

QString WizardText::alreadyRevised(const QStringList& fonts) {
    return tr("These fonts were revised before the stop:") + QStringLiteral("\n") + fonts.join(u'\n');
}

QString WizardText::needsAdministrator() {
    return tr(
        "An administrator's authentication is needed to revise this font; the program asks for it once "
        "when the revision starts.");
}

QString WizardText::notAuthorized(const QStringList& fonts) {
    return tr("The authentication was refused or dismissed: these fonts, which need an administrator, were not "
              "revised:") +
           QStringLiteral("\n") + fonts.join(u'\n');
}

QString WizardText::anotherRevisionRunning() {
    return tr("Another revision of the fonts is running. Try again once it has ended.");
}

QString WizardText::lockUnavailable(const QString& lockFile) {
    return tr("The program can't take its lock %1, so no revision can start.").arg(lockFile);
}

QString WizardText::helperBusy(const QStringList& fonts) {
    return tr("Another revision with an administrator's rights is running: these fonts, which need an "
              "administrator, were not revised:") +
           QStringLiteral("\n") + fonts.join(u'\n');
}

QString WizardText::restartWithoutSession() {
    return tr(
        "No desktop session can restart the computer so that running programs save their work first.\n\n"
        "Restart now? Every running program is stopped at once, and unsaved work in them is lost.\n"
        "To restart now, press the “Yes” button; not to, press the “No” button.");
}

}  // namespace wizard
