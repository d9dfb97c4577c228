#include "app/WizardText.h"

namespace wizard {

QString WizardText::fontManagerRunning() {
    return tr("\"Font Book\" is running, so the revision program can't start.\n"
              "Quit \"Font Book\", then start the \"OpenType Velmora font revision program\".");
}

QString WizardText::cancelRevision() {
    return tr("The font revision will be stopped.\n\n"
              "To stop it, press the “Yes” button;\nnot to stop it, press the “No” button.");
}

QString WizardText::cancelSearch() {
    return tr("The search for fonts to revise will be stopped.\nIs that all right?\n"
              "To stop it, press the “Yes” button;\nnot to stop it, press the “No” button.");
}

QString WizardText::noSource() { return tr("There is no font to revise from.\nThe revision is stopped."); }

QString WizardText::noTarget() { return tr("No font to revise was found.\n\nThe revision program ends."); }

QString WizardText::noTargetToRevise() { return tr("There is no font to revise.\nThe revision can't start."); }

QString WizardText::revisionSucceeded() {
    return tr("The revision ended normally.\n\n"
              "To make the revised fonts take effect, the system will restart.\n"
              "To restart it, press “Restart”.");
}

}  // namespace wizard
