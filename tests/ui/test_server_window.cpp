// The server window (tray menu, about box, Exit, start-up log set-up) and the
// standard message boxes. Runs on Qt's offscreen platform: every box is
// inspected and answered by a recording presenter instead of a user, and
// links are captured instead of opening a mail program.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "uErrLog/uErrLog.h"
#include "uMainForm/Tfm_ServerWnd.h"
#include "uMyDialogs/TMyDialogs.h"
#include "foundation/Strings.h"

namespace orbantis::ui {
namespace {

// ---------------------------------------------------------------- helpers

// What a message box looked like when it was about to run.
struct BoxSeen {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QWidget* owner = nullptr;
  Qt::WindowModality modality = Qt::NonModal;
  Qt::TextFormat format = Qt::AutoText;
};

// A presenter that records each box and answers with `answer`.
struct BoxRecorder {
  std::vector<BoxSeen> seen;
  QMessageBox::StandardButton answer = QMessageBox::NoButton;

  MessagePresenter Presenter() {
    return [this](QMessageBox& box) {
      BoxSeen s;
      s.caption = box.windowTitle();
      s.text = box.text();
      s.icon = box.icon();
      s.buttons = box.standardButtons();
      s.defaultButton =
          box.defaultButton() != nullptr ? box.standardButton(box.defaultButton()) : QMessageBox::NoButton;
      s.owner = box.parentWidget();
      s.modality = box.windowModality();
      s.format = box.textFormat();
      seen.push_back(s);
      return answer;
    };
  }
};

// Everything the window reaches outside itself, recorded.
struct WindowRig {
  int objects = 0;
  int quitCalls = 0;
  int objectQueries = 0;
  std::vector<QString> links;
  BoxRecorder boxes;

  Tfm_ServerWnd::Hooks Hooks() {
    Tfm_ServerWnd::Hooks hooks;
    hooks.activeObjects = [this] {
      ++objectQueries;
      return objects;
    };
    hooks.quit = [this] { ++quitCalls; };
    hooks.openLink = [this](const QString& link) { links.push_back(link); };
    hooks.presenter = boxes.Presenter();
    // The folders are the start-up log tests' business.
    hooks.errSupportSetUp = [](void*, const std::string&, const std::string&, const std::string&) { return true; };
    return hooks;
  }
};

using test::ScopedEnv;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A left or right click on a widget, delivered as the window system would.
void Click(QWidget* widget, Qt::MouseButton button) {
  const QPointF centre = QRectF(widget->rect()).center();
  const QPointF global = widget->mapToGlobal(centre);
  QMouseEvent press(QEvent::MouseButtonPress, centre, global, button, button, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, centre, global, button, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

// Written out here, not taken from the window, so a changed word shows.
const QString kExitQuestionText = QStringLiteral(
    "There are still active COM objects in this application.  One or more clients may have references to these "
    "objects, so manually closing this application may cause those client application(s) to fail.\r\n\r\n"
    "Are you sure you want to close this application?");

// ---------------------------------------------------------------- window

TEST(ServerWindow, StartsHiddenAsAToolWindowWithoutTrayIconOffscreen) {
  WindowRig rig;
  Tfm_ServerWnd window(rig.Hooks());
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.TrayIcon(), nullptr) << "no display, no tray icon";
  EXPECT_EQ(window.windowTitle(), QStringLiteral("ORBANTIS (Orbantis Software)"));
  const Qt::WindowFlags flags = window.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool) << "no taskbar button of its own";
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_GE(window.width(), 342);
  EXPECT_GE(window.height(), 194);
  EXPECT_TRUE(rig.boxes.seen.empty());
  EXPECT_EQ(rig.quitCalls, 0);
}

TEST(ServerWindow, TrayMenuHasAboutSeparatorExit) {
  WindowRig rig;
  Tfm_ServerWnd window(rig.Hooks());
  ASSERT_NE(window.TrayMenu(), nullptr);
  struct Entry {
    const char* name;
    const char* text;
    bool separator;
  };
  const Entry entries[] = {
      {"Open1", "About...", false},
      {"N1", "", true},
      {"Exit1", "Exit", false},
  };
  const QList<QAction*> actions = window.TrayMenu()->actions();
  ASSERT_EQ(actions.size(), 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(entries[i].name);
    EXPECT_EQ(actions[i]->objectName(), QString::fromLatin1(entries[i].name));
    EXPECT_EQ(actions[i]->isSeparator(), entries[i].separator);
    if (entries[i].separator) continue;
    EXPECT_EQ(actions[i]->text(), QString::fromLatin1(entries[i].text));
    EXPECT_FALSE(actions[i]->icon().isNull()) << "every entry has its image";
  }
}

TEST(ServerWindow, MenuEntriesShowTheAboutBoxAndExit) {
  WindowRig rig;
  Tfm_ServerWnd window(rig.Hooks());
  const QList<QAction*> actions = window.TrayMenu()->actions();

  actions[0]->trigger();
  EXPECT_TRUE(window.isVisible()) << "About... shows the window";
  EXPECT_EQ(rig.quitCalls, 0);

  actions[2]->trigger();
  EXPECT_EQ(rig.quitCalls, 1) << "Exit with no objects ends at once";
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(rig.boxes.seen.empty());
}

TEST(ServerWindow, LeftMiddleAndDoubleClicksOnTheIconDoNothing) {
  const QSystemTrayIcon::ActivationReason reasons[] = {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                                                       QSystemTrayIcon::MiddleClick};
  for (auto reason : reasons) {
    SCOPED_TRACE(static_cast<int>(reason));
    WindowRig rig;
    Tfm_ServerWnd window(rig.Hooks());
    window.TrayActivated(reason);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.TrayMenu()->isVisible());
    EXPECT_EQ(rig.quitCalls, 0);
    EXPECT_TRUE(rig.boxes.seen.empty());
    EXPECT_TRUE(rig.links.empty());
  }
}

// A picture of the about box under the build folder, for anyone to look at.
TEST(AboutBox, RenderingIsLeftForPeopleToSee) {
  WindowRig rig;
  Tfm_ServerWnd window(rig.Hooks());
  window.About();
  QApplication::processEvents();
  const QString file = QStringLiteral(ORBANTIS_RENDERINGS_DIR "/about-box.png");
  QDir().mkpath(QStringLiteral(ORBANTIS_RENDERINGS_DIR));
  const QPixmap picture = window.grab();
  EXPECT_FALSE(picture.isNull());
  EXPECT_TRUE(picture.save(file, "PNG"));
}

TEST(AboutBox, LabelsAndTheirLooks) {
  WindowRig rig;
  Tfm_ServerWnd window(rig.Hooks());
  window.About();
  struct Label {
    const char* name;
    const char* text;
  };
  const Label labels[] = {
      {"ProductName", "ORBANTIS fiscal printer server"},
      {"Comments", "For questions and additional information:"},
      {"ContactLink1", "support@orbantis.example"},
      {"ContactLink2", "sales@orbantis.example"},
      {"Notice", "Provided as is, without warranty of any kind."},
  };
  for (const auto& l : labels) {
    SCOPED_TRACE(l.name);
    auto* label = window.findChild<QLabel*>(QString::fromLatin1(l.name));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromLatin1(l.text));
  }

  auto* product = window.findChild<QLabel*>(QStringLiteral("ProductName"));
  EXPECT_TRUE(product->font().bold());
  EXPECT_TRUE(product->font().italic());
  EXPECT_TRUE(window.findChild<QLabel*>(QStringLiteral("lb_BuildNumb"))->font().bold());
  for (const char* name : {"ContactLink1", "ContactLink2"}) {
    SCOPED_TRACE(name);
    auto* link = window.findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_TRUE(link->font().bold());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  }
  auto* ok = window.findChild<QPushButton*>(QStringLiteral("OKButton"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_TRUE(ok->isDefault());
}

TEST(AboutBox, VersionLabelsShowMajorMinorReleaseThenBuild) {
  struct Case {
    FileVersion version;
    const char* versionLabel;
    const char* buildLabel;
  };
  const Case cases[] = {
      {{2, 3, 4, 5}, "Version: 2.3.4", ".5"},
      {{1, 0, 0, 114}, "Version: 1.0.0", ".114"},
      {{1, 0, 0, 0}, "Version: 1.0.0", ".0"},
      {{10, 20, 30, 4000}, "Version: 10.20.30", ".4000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.versionLabel);
    WindowRig rig;
    auto hooks = rig.Hooks();
    hooks.fileVersion = c.version;
    Tfm_ServerWnd window(std::move(hooks));
    window.About();
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lb_Vers"))->text(), QString::fromLatin1(c.versionLabel));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lb_BuildNumb"))->text(), QString::fromLatin1(c.buildLabel));
  }
}

TEST(AboutBox, ProgramVersionIsShownByDefault) {
  WindowRig rig;
  Tfm_ServerWnd window(rig.Hooks());
  window.About();
  const FileVersion v = ProgramFileVersion();
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lb_Vers"))->text(),
            QStringLiteral("Version: %1.%2.%3").arg(v.major).arg(v.minor).arg(v.release));
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lb_BuildNumb"))->text(), QStringLiteral(".%1").arg(v.build));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version: \\d+\\.\\d+\\.\\d+$"))
                  .match(window.findChild<QLabel*>(QStringLiteral("lb_Vers"))->text())
                  .hasMatch());
}

TEST(AboutBox, ParseFileVersion) {
  struct Case {
    const char* version;
    const char* build;
    FileVersion expected;
  };
  const Case cases[] = {
      {"1.0.0", "0", {1, 0, 0, 0}},     {"2.3.4", "5", {2, 3, 4, 5}},       {"1.0.0.114", "", {1, 0, 0, 114}},
      {"1.0.0.114", "7", {1, 0, 0, 7}}, {"1.2", "7", {1, 2, 0, 7}},         {"x.y.z", "b", {0, 0, 0, 0}},
      {"", "", {0, 0, 0, 0}},           {" 3.1.4 ", " 15 ", {3, 1, 4, 15}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " + " + c.build);
    EXPECT_EQ(ParseFileVersion(QString::fromLatin1(c.version), QString::fromLatin1(c.build)), c.expected);
  }
}

TEST(AboutBox, OkAndClosingOnlyHideIt) {
  const std::vector<std::pair<const char*, std::function<void(Tfm_ServerWnd&)>>> ways = {
      {"OK", [](Tfm_ServerWnd& w) { w.findChild<QPushButton*>(QStringLiteral("OKButton"))->click(); }},
      {"close button", [](Tfm_ServerWnd& w) { w.close(); }},
  };
  for (const auto& [name, hide] : ways) {
    SCOPED_TRACE(name);
    WindowRig rig;
    auto* window = new Tfm_ServerWnd(rig.Hooks());
    QPointer<Tfm_ServerWnd> alive(window);
    window->About();
    ASSERT_TRUE(window->isVisible());
    hide(*window);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(alive.isNull()) << "never destroyed";
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(rig.quitCalls, 0) << "the server keeps running";
    window->About();
    EXPECT_TRUE(window->isVisible()) << "shown again by the next About...";
    delete window;
  }
}

TEST(AboutBox, ContactLinksOpenAMailWithSubjectAndTwoBlankLines) {
  struct Case {
    const char* label;
    const char* link;
  };
  const Case cases[] = {
      {"ContactLink1", "mailto:support@orbantis.example?Subject=Question about ORBANTIS Server&Body= %0D%0A %0D%0A"},
      {"ContactLink2", "mailto:sales@orbantis.example?Subject=Question about ORBANTIS Server&Body= %0D%0A %0D%0A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    WindowRig rig;
    Tfm_ServerWnd window(rig.Hooks());
    window.About();
    auto* label = window.findChild<QLabel*>(QString::fromLatin1(c.label));
    ASSERT_NE(label, nullptr);

    Click(label, Qt::RightButton);
    EXPECT_TRUE(rig.links.empty()) << "only the left button opens the mail";

    Click(label, Qt::LeftButton);
    ASSERT_EQ(rig.links.size(), 1u);
    EXPECT_EQ(rig.links[0], QString::fromLatin1(c.link));
  }
}

// ---------------------------------------------------------------- Exit

TEST(Exit, WithoutObjectsEndsAtOnce) {
  struct Case {
    const char* name;
    bool countHook;
  };
  const Case cases[] = {{"no objects", true}, {"no object count at all", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig;
    auto hooks = rig.Hooks();
    if (!c.countHook) hooks.activeObjects = nullptr;
    Tfm_ServerWnd window(std::move(hooks));
    window.About();
    EXPECT_TRUE(window.Exit());
    EXPECT_EQ(rig.quitCalls, 1);
    EXPECT_TRUE(rig.boxes.seen.empty()) << "nothing to ask";
    EXPECT_FALSE(window.isVisible());
  }
}

TEST(Exit, WithObjectsAsksAndEndsOnlyOnYes) {
  struct Case {
    const char* name;
    QMessageBox::StandardButton answer;
    bool ends;
  };
  const Case cases[] = {
      {"Yes", QMessageBox::Yes, true},
      {"No", QMessageBox::No, false},
      {"box not shown", QMessageBox::NoButton, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig;
    rig.objects = 2;
    rig.boxes.answer = c.answer;
    Tfm_ServerWnd window(rig.Hooks());
    EXPECT_EQ(window.Exit(), c.ends);
    EXPECT_EQ(rig.quitCalls, c.ends ? 1 : 0);
    ASSERT_EQ(rig.boxes.seen.size(), 1u);
    const BoxSeen& box = rig.boxes.seen[0];
    EXPECT_EQ(box.caption, QStringLiteral("COM Server Warning"));
    EXPECT_EQ(box.text, kExitQuestionText);
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    EXPECT_EQ(box.defaultButton, QMessageBox::No);
    EXPECT_EQ(box.modality, Qt::ApplicationModal);
    EXPECT_EQ(box.format, Qt::PlainText);
  }
}

TEST(Exit, AsksAgainAfterNoAndCountsObjectsAtTheTime) {
  WindowRig rig;
  rig.objects = 1;
  rig.boxes.answer = QMessageBox::No;
  Tfm_ServerWnd window(rig.Hooks());
  EXPECT_FALSE(window.Exit());
  rig.objects = 0;
  EXPECT_TRUE(window.Exit()) << "the last client went away meanwhile";
  EXPECT_EQ(rig.boxes.seen.size(), 1u);
  EXPECT_EQ(rig.quitCalls, 1);
  EXPECT_EQ(rig.objectQueries, 2);
}

// ---------------------------------------------------------------- start-up set-up

TEST(StartupSetUp, CreatesTheStartupLogAndTheSharedBoxes) {
  struct Case {
    const char* name;
    bool documentsUsable;
    bool logExists;
    const char* logFolder;  // under the temporary folder
  };
  const Case cases[] = {
      {"documents folder", true, false, "Documents/ORBANTIS/LOG_FOLDER/"},
      {"documents unusable: data folder", false, false, "data/ORBANTIS/LOG_FOLDER/"},
      {"log already there: kept", true, true, "Documents/ORBANTIS/LOG_FOLDER/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    WriteFile(dir.Path() + "blocker", "a file where a folder would go");
    ScopedEnv documents("XDG_DOCUMENTS_DIR",
                        c.documentsUsable ? dir.Path() + "Documents" : dir.Path() + "blocker/Documents");
    ScopedEnv data("XDG_DATA_HOME", dir.Path() + "data");
    const std::string logFile = dir.Path() + c.logFolder + "orbantis_LOG.txt";
    if (c.logExists) {
      ASSERT_TRUE(ForceDirectories(dir.Path() + c.logFolder));
      WriteFile(logFile, "earlier\r\n");
    }

    WindowRig rig;
    auto hooks = rig.Hooks();
    hooks.errSupportSetUp = nullptr;  // the real set-up
    Tfm_ServerWnd window(std::move(hooks));

    EXPECT_TRUE(window.CreationFault().isEmpty());
    EXPECT_TRUE(rig.boxes.seen.empty());
    const std::string text = test::ReadFile(logFile);
    if (c.logExists) {
      EXPECT_EQ(text, "earlier\r\n");
    } else {
      const std::string line = ":Log file creation\r\n";
      ASSERT_GT(text.size(), line.size());
      EXPECT_EQ(text.substr(text.size() - line.size()), line);
      EXPECT_EQ(text.find("\r\n"), text.size() - 2) << "one line only";
    }
    EXPECT_TRUE(IsDirectory(dir.Path() + "data/ORBANTIS")) << "the application folder is made as well";
    EXPECT_EQ(ErrSupportWindowHandle(), static_cast<void*>(static_cast<QWidget*>(&window)));
    EXPECT_EQ(ErrSupportCaption(), "ORBANTIS");
    ASSERT_NE(MyDialogs(), nullptr);
    EXPECT_EQ(MyDialogs()->MyCaption(), QStringLiteral("ORBANTIS"));
  }
}

TEST(StartupSetUp, AFaultIsShownAndLoggedAndTheServerCarriesOn) {
  struct Case {
    const char* name;
    std::function<void()> fault;
    const char* shown;
  };
  const Case cases[] = {
      {"set-up fault", [] { throw Exception("INIT_ERR_SUPPORT"); },
       "Exception in TfmServerWnd.FormCreate metod : INIT_ERR_SUPPORT"},
      {"other fault", [] { throw std::runtime_error("disk gone"); },
       "Exception in TfmServerWnd.FormCreate metod : disk gone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowRig rig;
    rig.boxes.answer = QMessageBox::Ok;
    auto hooks = rig.Hooks();
    hooks.errSupportSetUp = [&c](void*, const std::string&, const std::string&, const std::string&) -> bool {
      c.fault();
      return true;
    };
    Tfm_ServerWnd window(std::move(hooks));

    EXPECT_EQ(window.CreationFault(), QString::fromLatin1(c.shown));
    ASSERT_EQ(rig.boxes.seen.size(), 1u);
    EXPECT_EQ(rig.boxes.seen[0].caption, QStringLiteral("ORBANTIS"));
    EXPECT_EQ(rig.boxes.seen[0].text, QString::fromLatin1(c.shown));
    EXPECT_EQ(rig.boxes.seen[0].icon, QMessageBox::Critical);
    EXPECT_EQ(rig.boxes.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_NE(test::ReadFile(ServerLogFolder() + "orbantis_log.txt").find(std::string(":") + c.shown + "\r\n"),
              std::string::npos)
        << "kept where support looks on a server without a display";

    // The window is whole and works.
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.TrayMenu()->actions().size(), 3);
    window.About();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.Exit());
    EXPECT_EQ(rig.quitCalls, 1);
  }
}

// ---------------------------------------------------------------- message boxes

enum class Op { Alert, Information, Question };

// Runs op; the result of MyQuestion, -1 for the other two.
std::int32_t RunDialog(TMyDialogs& dialogs, Op op, QWidget* owner, const QString& text, const QString& caption,
                       TMyDialogTypes type) {
  switch (op) {
    case Op::Alert:
      dialogs.MyAlert(owner, text, caption, type);
      return -1;
    case Op::Information:
      dialogs.MyInformation(owner, text, caption, type);
      return -1;
    case Op::Question:
      return dialogs.MyQuestion(owner, text, caption, type);
  }
  return -1;
}

TEST(MessageBoxes, TypesButtonsDefaultsAndAnswers) {
  using T = TMyDialogTypes;
  using B = QMessageBox;
  struct Case {
    Op op;
    T type;
    B::StandardButton answer;  // what the user presses
    bool shown;
    B::Icon icon;
    B::StandardButtons buttons;
    B::StandardButton defaultButton;
    std::int32_t result;
  };
  const Case cases[] = {
      {Op::Alert, T::qstn_YesNo_FBtn, B::Ok, false, B::NoIcon, {}, B::NoButton, -1},
      {Op::Alert, T::qstn_YesNo_SBtn, B::Ok, false, B::NoIcon, {}, B::NoButton, -1},
      {Op::Alert, T::inf_OkBtn, B::Ok, true, B::Warning, B::Ok, B::Ok, -1},
      {Op::Information, T::qstn_YesNo_FBtn, B::Ok, false, B::NoIcon, {}, B::NoButton, -1},
      {Op::Information, T::qstn_YesNo_SBtn, B::Ok, false, B::NoIcon, {}, B::NoButton, -1},
      {Op::Information, T::inf_OkBtn, B::Ok, true, B::Information, B::Ok, B::Ok, -1},
      {Op::Question, T::qstn_YesNo_FBtn, B::Yes, true, B::Question, B::Yes | B::No, B::Yes, 6},
      {Op::Question, T::qstn_YesNo_FBtn, B::No, true, B::Question, B::Yes | B::No, B::Yes, 7},
      {Op::Question, T::qstn_YesNo_SBtn, B::Yes, true, B::Question, B::Yes | B::No, B::No, 6},
      {Op::Question, T::qstn_YesNo_SBtn, B::No, true, B::Question, B::Yes | B::No, B::No, 7},
      {Op::Question, T::qstn_YesNo_SBtn, B::NoButton, true, B::Question, B::Yes | B::No, B::No, 7},
      {Op::Question, T::inf_OkBtn, B::Yes, false, B::NoIcon, {}, B::NoButton, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "op " << static_cast<int>(c.op) << " type " << static_cast<int>(c.type)
                                      << " answer " << c.answer);
    BoxRecorder recorder;
    recorder.answer = c.answer;
    TMyDialogs dialogs(nullptr, QStringLiteral("ORBANTIS"));
    dialogs.SetPresenter(recorder.Presenter());
    EXPECT_EQ(RunDialog(dialogs, c.op, nullptr, QStringLiteral("Paper is low."), QStringLiteral("Printer"), c.type),
              c.result);
    if (!c.shown) {
      EXPECT_TRUE(recorder.seen.empty());
      continue;
    }
    ASSERT_EQ(recorder.seen.size(), 1u);
    const BoxSeen& box = recorder.seen[0];
    EXPECT_EQ(box.icon, c.icon);
    EXPECT_EQ(box.buttons, c.buttons);
    EXPECT_EQ(box.defaultButton, c.defaultButton);
    EXPECT_EQ(box.text, QStringLiteral("Paper is low."));
    EXPECT_EQ(box.caption, QStringLiteral("Printer"));
  }
}

TEST(MessageBoxes, EmptyCaptionAndNoOwnerTakeTheDefaults) {
  QWidget defaultOwner;
  QWidget otherOwner;
  struct Case {
    const char* name;
    QWidget* owner;
    const char* caption;
    QWidget* expectedOwner;
    const char* expectedCaption;
  };
  const Case cases[] = {
      {"defaults", nullptr, "", &defaultOwner, "ORBANTIS"},
      {"given", &otherOwner, "Other", &otherOwner, "Other"},
  };
  for (Op op : {Op::Alert, Op::Information, Op::Question}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.name << " op " << static_cast<int>(op));
      BoxRecorder recorder;
      TMyDialogs dialogs(&defaultOwner, QStringLiteral("ORBANTIS"));
      dialogs.SetPresenter(recorder.Presenter());
      const auto type = op == Op::Question ? TMyDialogTypes::qstn_YesNo_SBtn : TMyDialogTypes::inf_OkBtn;
      RunDialog(dialogs, op, c.owner, QStringLiteral("<b>not markup</b>"), QString::fromLatin1(c.caption), type);
      ASSERT_EQ(recorder.seen.size(), 1u);
      EXPECT_EQ(recorder.seen[0].owner, c.expectedOwner);
      EXPECT_EQ(recorder.seen[0].caption, QString::fromLatin1(c.expectedCaption));
      EXPECT_EQ(recorder.seen[0].text, QStringLiteral("<b>not markup</b>"));
      EXPECT_EQ(recorder.seen[0].format, Qt::PlainText);
    }
  }
}

TEST(MessageBoxes, FaultsCarryTheOperationPrefix) {
  struct Case {
    Op op;
    TMyDialogTypes type;
    const char* prefix;
  };
  const Case cases[] = {
      {Op::Alert, TMyDialogTypes::inf_OkBtn, "MyDialogs.MyAlert: "},
      {Op::Information, TMyDialogTypes::inf_OkBtn, "MyDialogs.MyInformation: "},
      {Op::Question, TMyDialogTypes::qstn_YesNo_FBtn, "MyDialogs.MyQuestion: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefix);
    TMyDialogs dialogs(nullptr, QStringLiteral("ORBANTIS"));
    dialogs.SetPresenter([](QMessageBox&) -> QMessageBox::StandardButton { throw Exception("box broke"); });
    try {
      RunDialog(dialogs, c.op, nullptr, QStringLiteral("text"), QString(), c.type);
      ADD_FAILURE() << "no fault";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, std::string(c.prefix) + "box broke");
    }

    // From a worker thread no box is built at all: the call fails instead.
    BoxRecorder recorder;
    dialogs.SetPresenter(recorder.Presenter());
    std::string fault;
    std::thread worker([&] {
      try {
        RunDialog(dialogs, c.op, nullptr, QStringLiteral("text"), QString(), c.type);
      } catch (const Exception& e) {
        fault = e.Message;
      }
    });
    worker.join();
    EXPECT_EQ(fault.rfind(c.prefix, 0), 0u) << fault;
    EXPECT_GT(fault.size(), std::string(c.prefix).size());
    EXPECT_TRUE(recorder.seen.empty());
  }
}

TEST(MessageBoxes, WithoutADisplayNothingIsShownAndTheQuestionSaysNo) {
  EXPECT_FALSE(HasDisplay());
  TMyDialogs dialogs(nullptr, QStringLiteral("ORBANTIS"));  // the default presenter
  EXPECT_EQ(dialogs.MyQuestion(nullptr, QStringLiteral("Sure?"), QString(), TMyDialogTypes::qstn_YesNo_FBtn),
            TMyDialogs::kIdNo);
  dialogs.MyAlert(nullptr, QStringLiteral("Paper is low."), QString(), TMyDialogTypes::inf_OkBtn);
  dialogs.MyInformation(nullptr, QStringLiteral("Done."), QString(), TMyDialogTypes::inf_OkBtn);
  QMessageBox box(QMessageBox::Warning, QStringLiteral("c"), QStringLiteral("t"), QMessageBox::Ok);
  EXPECT_EQ(DefaultMessagePresenter()(box), QMessageBox::NoButton);
  EXPECT_FALSE(box.isVisible());
}

TEST(MessageBoxes, OneSharedInstanceKeepsItsFirstSetUp) {
  TMyDialogs& first = CreateMyDialogs(nullptr, QStringLiteral("ORBANTIS"));
  const QString caption = first.MyCaption();
  TMyDialogs& second = CreateMyDialogs(nullptr, QStringLiteral("Something else"));
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(second.MyCaption(), caption);
  EXPECT_EQ(MyDialogs(), &first);
}

}  // namespace
}  // namespace orbantis::ui

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Nothing here may write into the real home: the start-up set-up and the
  // program-side log go under a temporary one.
  char home[] = "/tmp/orbantis-ui-window-XXXXXX";
  if (::mkdtemp(home) != nullptr) {
    const std::string base = home;
    ::setenv("HOME", home, 1);
    ::setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    ::setenv("XDG_DOCUMENTS_DIR", (base + "/Documents").c_str(), 1);
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  QDir(QString::fromLatin1(home)).removeRecursively();
  return status;
}
