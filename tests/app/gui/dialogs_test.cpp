// The field-name dialog, the information windows and the real modal
// dialogs behind the window's Ui.

#include "app/gui/field_name_dialog.h"
#include "app/gui/info_windows.h"
#include "app/gui/qt_dialogs.h"
#include "gui_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace plyvet::test {
namespace {

using gui::FieldNameDialog;

const QString kInstruction = QStringLiteral("Markieren Sie bitte die zu ändernden Feldnamen in der Liste. \r\n"
                                            "Ändern Sie den in die Textbox kopierten Feldnamen auf höchstens 10 "
                                            "Zeichen.");

class FieldNames : public ::testing::Test {
protected:
    std::vector<QString> hints;
    FieldNameDialog dialog{nullptr, [this](const QString& t) { hints.push_back(t); }};

    void SetUp() override {
        dialog.load({{"FLURSTUECKSNUMMER", ""}, {"EIGENTUEMERART", "EIGENTART"}}, kInstruction);
        dialog.show();
    }
    QTreeWidget* list() { return dialog.findChild<QTreeWidget*>(QStringLiteral("lstViewFeldnamen")); }
    QLineEdit* edit() { return dialog.findChild<QLineEdit*>(QStringLiteral("txtChangeFieldName")); }
    void click(const char* name) {
        QTest::mouseClick(dialog.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }
    void clickRow(int row) {
        QTreeWidgetItem* item = list()->topLevelItem(row);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
    }
};

TEST_F(FieldNames, ShowsOldAndNewNamesInTwoHalves) {
    ASSERT_NE(list(), nullptr);
    EXPECT_EQ(list()->headerItem()->text(0), QStringLiteral("Feldname alt"));
    EXPECT_EQ(list()->headerItem()->text(1), QStringLiteral("Feldname neu"));
    ASSERT_EQ(list()->topLevelItemCount(), 2);
    EXPECT_EQ(list()->topLevelItem(1)->text(1), QStringLiteral("EIGENTART"));
    EXPECT_NEAR(list()->columnWidth(0), list()->columnWidth(1), 1);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblFeldnamen"))->text(),
              QStringLiteral("Markieren Sie bitte die zu ändernden Feldnamen in der Liste. \n"
                             "Ändern Sie den in die Textbox kopierten Feldnamen auf höchstens 10 Zeichen."));
    for (const char* name : {"cmdChangeFieldName", "cmdOK", "cmdStop"}) {
        EXPECT_NE(dialog.findChild<QPushButton*>(QLatin1String(name)), nullptr) << name;
    }
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("cmdChangeFieldName"))->text(),
              QStringLiteral("Feldname ändern"));
}

TEST_F(FieldNames, ClickCopiesChangeApplies) {
    clickRow(0);
    EXPECT_EQ(edit()->text(), QStringLiteral("FLURSTUECKSNUMMER"));
    edit()->setText(QStringLiteral("FLURNR"));
    click("cmdChangeFieldName");
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("FLURNR"));
    EXPECT_EQ(edit()->text(), QString());
    // An empty edit box changes nothing.
    click("cmdChangeFieldName");
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QStringLiteral("FLURNR"));
    EXPECT_TRUE(hints.empty());

    click("cmdOK");
    EXPECT_TRUE(dialog.answer());
    EXPECT_EQ(dialog.newNames(), (std::vector<std::string>{"FLURNR", "EIGENTART"}));
}

TEST_F(FieldNames, ChangeWithoutSelectionShowsTheHint) {
    list()->clearSelection();
    edit()->setText(QStringLiteral("NEU"));
    click("cmdChangeFieldName");
    ASSERT_EQ(hints.size(), 1u);
    EXPECT_EQ(hints[0], QStringLiteral("Feldname in Spalte 'Feldname alt' vor Änderung auswählen!"));
    EXPECT_EQ(list()->topLevelItem(0)->text(1), QString());
    EXPECT_EQ(list()->topLevelItem(1)->text(1), QStringLiteral("EIGENTART"));
}

TEST_F(FieldNames, StopAnswersFalseAndKeepsTheEditText) {
    clickRow(1);
    click("cmdStop");
    EXPECT_FALSE(dialog.answer());
    EXPECT_EQ(dialog.editText(), QStringLiteral("EIGENTUEMERART"));
    // Loading again starts afresh.
    dialog.load({{"LANGERNAME12", ""}}, kInstruction);
    EXPECT_EQ(list()->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.editText(), QString());
}

TEST_F(FieldNames, InPlaceEditRefusesAnEmptyName) {
    QAbstractItemDelegate* delegate = list()->itemDelegate();
    QAbstractItemModel* model = list()->model();
    const QModelIndex newName = model->index(1, 1);
    std::unique_ptr<QWidget> editor(delegate->createEditor(list()->viewport(), {}, newName));
    auto* line = qobject_cast<QLineEdit*>(editor.get());
    ASSERT_NE(line, nullptr);
    line->clear();
    delegate->setModelData(line, model, newName);
    EXPECT_EQ(list()->topLevelItem(1)->text(1), QStringLiteral("EIGENTART"));
    line->setText(QStringLiteral("EIGART"));
    delegate->setModelData(line, model, newName);
    EXPECT_EQ(list()->topLevelItem(1)->text(1), QStringLiteral("EIGART"));
    // The old name cannot be edited in place.
    EXPECT_EQ(delegate->createEditor(list()->viewport(), {}, model->index(1, 0)), nullptr);
}

TEST(NewsWindow, HoldsTheLinesInOrder) {
    const QStringList lines = gui::newsLines();
    ASSERT_EQ(lines.size(), 35);
    EXPECT_EQ(lines[0], QStringLiteral("Für Betriebssystem Windows 7 angepasst:"));
    EXPECT_EQ(lines[11], QStringLiteral("bisher:\t\t Möglichkeit, ID -falls vorhanden- in Log-Datei zu schreiben."));
    EXPECT_EQ(lines[27], QStringLiteral("entspricht neu:\t Hilfe --> Polyvet-Hilfe"));
    EXPECT_EQ(lines[34], QStringLiteral("zusätzlich:\t Möglichkeit, Prüfgenauigkeit festzulegen."));
    for (int empty : {1, 3, 5, 14, 17, 19, 23, 25, 31, 33}) EXPECT_TRUE(lines[empty].isEmpty()) << empty;
    EXPECT_EQ(lines.count(QString()), 10);

    gui::NewsWindow window;
    const auto* list = window.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 35);
    EXPECT_EQ(list->font().family(), QStringLiteral("Arial"));
    window.resize(400, 300);
    window.show();
    EXPECT_EQ(list->geometry(), window.rect());  // fills the window at any size
}

TEST(InfoWindow, NamesFolderVersionAndLibrary) {
    gui::InfoWindow window(
        gui::ProgramInfo{"/opt/polyvet", QStringLiteral("2.1.7"), "/home/anna/.local/share/Tarsel/Polyvet"});
    const auto text = [&](const char* name) { return window.findChild<QLabel*>(QLatin1String(name))->text(); };
    EXPECT_EQ(text("lblHeading"), QStringLiteral("Info zur verwendeten Plyvet.exe"));
    EXPECT_EQ(text("lblPath"), QStringLiteral("Pfad: /opt/polyvet"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblPath"))->toolTip(), QStringLiteral("Pfad: /opt/polyvet"));
    EXPECT_EQ(text("lblDataFolder"),
              QStringLiteral("Protokoll und Fehlerdatenbank: /home/anna/.local/share/Tarsel/Polyvet"));
    EXPECT_EQ(text("lblVersion"), QStringLiteral("Version: 2.1.7"));
    // The library beside the test program answers its version.
    EXPECT_TRUE(text("lblLibrary").contains(QStringLiteral(" Version: "))) << text("lblLibrary").toStdString();
    window.show();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdClose")), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

// Runs `act` on the modal dialog once it is up; closes it regardless after
// a while, so a test that misses it fails instead of hanging.
template <class Dialog, class Act>
void whenShown(Act act) {
    QTimer::singleShot(0, [act] {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (d == nullptr) {
            ADD_FAILURE() << "no modal dialog of the expected kind";
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
            return;
        }
        act(d);
    });
}

class RealDialogs : public GuiFixture {
protected:
    QWidget parent;
    gui::SettingsStore store;
    gui::QtDialogs dialogs{&parent, store};
};

TEST_F(RealDialogs, MessageBoxHasTitleButtonsIconAndDefault) {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString defaultCaption;
    int buttons = 0;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        defaultCaption = box->defaultButton() ? box->defaultButton()->text() : QString();
        box->button(QMessageBox::Yes)->click();
    });
    const Answer a = dialogs.message({"Ausgangs-Shapefilename x zu lang.\r\nDateinamen beibehalten?",
                                      "Dateinamen-Überprüfung", Buttons::YesNo, Icon::Question, Answer::No});
    EXPECT_EQ(a, Answer::Yes);
    EXPECT_EQ(text, QStringLiteral("Ausgangs-Shapefilename x zu lang.\nDateinamen beibehalten?"));
    EXPECT_EQ(title, QStringLiteral("Dateinamen-Überprüfung"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, 2);
    EXPECT_EQ(defaultCaption, QStringLiteral("Nein"));
}

TEST_F(RealDialogs, EscapeAnswersNo) {
    whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(dialogs.message({"Frage?", "Titel", Buttons::YesNo, Icon::Question, Answer::Yes}), Answer::No);
}

TEST_F(RealDialogs, InputBoxGivesTheTextOrNothing) {
    whenShown<QInputDialog>([](QInputDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Warnung"));
        EXPECT_EQ(d->textValue(), QStringLiteral("flur_x"));
        d->setTextValue(QStringLiteral("flur_neu"));
        d->accept();
    });
    EXPECT_EQ(dialogs.inputBox("Shapefile flur_x bereits vorhanden.", "Warnung", "flur_x"), "flur_neu");
    whenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
    EXPECT_EQ(dialogs.inputBox("Shapefile flur_x bereits vorhanden.", "Warnung", "flur_x"), "");
}

TEST_F(RealDialogs, FieldNameDialogHandsBackTheNames) {
    whenShown<FieldNameDialog>([](FieldNameDialog* d) {
        auto* list = d->findChild<QTreeWidget*>();
        list->setCurrentItem(list->topLevelItem(0));
        d->findChild<QLineEdit*>(QStringLiteral("txtChangeFieldName"))->setText(QStringLiteral("KURZ"));
        d->findChild<QPushButton*>(QStringLiteral("cmdChangeFieldName"))->click();
        d->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    std::vector<Ui::FieldNameRow> rows{{"SEHRLANGERNAME", ""}};
    std::string editText;
    EXPECT_TRUE(dialogs.fieldNameDialog(rows, "Anleitung", editText));
    EXPECT_EQ(rows[0].newName, "KURZ");

    whenShown<FieldNameDialog>([](FieldNameDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("txtChangeFieldName"))->setText(QStringLiteral("HALB"));
        d->findChild<QPushButton*>(QStringLiteral("cmdStop"))->click();
    });
    EXPECT_FALSE(dialogs.fieldNameDialog(rows, "Anleitung", editText));
    EXPECT_EQ(editText, "HALB");
}

TEST_F(RealDialogs, SettingsDialogThroughTheMainWindowMenu) {
    // The window with its real dialogs.
    window = std::make_unique<gui::MainWindow>(environment());
    whenShown<QDialog>([](QDialog* d) {
        EXPECT_EQ(d->objectName(), QStringLiteral("frmShapefileInfo"));
        d->findChild<QCheckBox*>(QStringLiteral("chkPutResultInSourceFolder"))->setChecked(true);
        d->findChild<QCheckBox*>(QStringLiteral("chkSaveSettings"))->setChecked(true);
        d->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
    window->findChild<QAction*>(QStringLiteral("umn01EinstAendern"))->trigger();
    EXPECT_TRUE(window->runSettings().putResultInSourceFolder);
    EXPECT_TRUE(window->runSettings().settingsConfirmed);
    EXPECT_EQ(storedValue(gui::setting::kPutResultInSourceFolder), QStringLiteral("True"));
}

}  // namespace
}  // namespace plyvet::test
