#include "app/form1.h"

#include "app/module1.h"
#include "services/errors.h"

namespace zs::app {

namespace {
std::unique_ptr<Form> makeForm(Services& services) {
    auto form = std::make_unique<Form>(services, QStringLiteral("Form1"));
    form->setCaption(QStringLiteral("Zentrim Screen"));
    form->setBackColor(0x00FFFFFF);
    form->setIcon(assetIcon("app"));
    form->setClientSize(15555, 11550);
    return form;
}
} // namespace

Form1::Form1(Services& services)
    : m_services(services), m_form(makeForm(services)), m_set(*m_form), form(*m_form),
      capture(capture::Controls{form, Picture1, FormScreenCapture, HScroll1, VScroll1, Shape1,
                                Line1[0], Line1[1], Label2, Check1, Frame3, Timer1, Picture2,
                                Picture6},
              capture::Variables{SelStartX, SelStartY, NudgeX, NudgeY},
              capture::Routines{[this](float t) { Perimene(t); }, [this] { bringToFront(); },
                                [this] { Command1_Click(command1::kStartPanelCapture); },
                                [this] { Command1_Click(command1::kSaveCrop); }},
              services),
      editor(editor::Controls{form, Frame4, Label4, Label6, Frame9, Text1[0], Text1[1], Picture6,
                              Shape6, Option1, Picture10, Picture2, FormScreenCapture, Shape1},
             editor::Variables{PenDown, PenX, PenY}, services),
      files(files::Controls{form, Picture2, Picture6, Picture1, FormScreenCapture, Image3, HScroll1,
                            VScroll1},
            services),
      m_keys(form) {
    Picture6.setCrossCursor(true);
    wire();
    wireShortcuts();
    describeControls();
}

Form1::~Form1() = default;

void Form1::wire() {
    form.Resize = [this] { Form_Resize(); };

    Check2.Click = [this] { Check2_Click(); };
    Command17.Click = [this] { Command17_Click(); };
    Command19.Click = [this] { Command19_Click(); };
    Command18.Click = [this] { capture.Command18_Click(); };
    for (const auto& [i, b] : Command1.items()) {
        b->Click = [this, i = i] { Command1_Click(static_cast<std::int16_t>(i)); };
    }
    Command10.Click = [this] { Command10_Click(); };
    Command11.Click = [this] { Command11_Click(); };
    for (const auto& [i, p] : Picture9.items()) {
        p->Click = [this, i = i] { Picture9_Click(static_cast<std::int16_t>(i)); };
    }

    // Capture and selection.
    FormScreenCapture.MouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) {
        capture.FormScreenCapture_MouseDown(b, s, x, y);
    };
    FormScreenCapture.MouseMove = [this](std::int16_t b, std::int16_t s, float x, float y) {
        capture.FormScreenCapture_MouseMove(b, s, x, y);
    };
    FormScreenCapture.MouseUp = [this](std::int16_t b, std::int16_t s, float x, float y) {
        capture.FormScreenCapture_MouseUp(b, s, x, y);
    };
    Command4.Click = [this] { capture.Command4_Click(); };
    for (const auto& [i, img] : Image2.items()) {
        const auto index = static_cast<std::int16_t>(i);
        img->MouseDown = [this, index](std::int16_t b, std::int16_t s, float x, float y) {
            capture.Image2_MouseDown(index, b, s, x, y);
        };
        img->DblClick = [this, index] { capture.Image2_DblClick(index); };
        img->MouseUp = [this, index](std::int16_t b, std::int16_t s, float x, float y) {
            capture.Image2_MouseUp(index, b, s, x, y);
        };
    }
    Timer1.Tick = [this] { capture.Timer1_Timer(); };
    HScroll1.Change = [this] { capture.HScroll1_Change(); };
    HScroll1.Scroll = [this] { capture.HScroll1_Scroll(); };
    VScroll1.Change = [this] { capture.VScroll1_Change(); };
    VScroll1.Scroll = [this] { capture.VScroll1_Scroll(); };
    Command2.Click = [this] { capture.Command2_Click(); };

    // Files, printing and copying.
    for (const auto& [i, b] : Command3.items()) {
        b->Click = [this, i = i] { files.Command3_Click(static_cast<std::int16_t>(i)); };
    }
    Command8.Click = [this] { files.Command8_Click(); };
    Command9.Click = [this] { files.Command9_Click(); };
    Command12.Click = [this] { files.Command12_Click(); };
    Command13.Click = [this] { files.Command13_Click(); };
    Command15.Click = [this] { files.Command15_Click(); };

    // The editor.
    Command5.Click = [this] { editor.Command5_Click(); };
    Command6.Click = [this] { editor.Command6_Click(); };
    Command16.Click = [this] { editor.Command16_Click(); };
    Command14.Click = [this] { editor.Command14_Click(); };
    Command7.Click = [this] { editor.Command7_Click(); };
    for (const auto& [i, t] : Text1.items()) {
        const auto index = static_cast<std::int16_t>(i);
        t->Change = [this, index] { editor.Text1_Change(index); };
        t->KeyUp = [this, index](int key, std::int16_t shift) {
            editor.Text1_KeyUp(index, static_cast<std::int16_t>(key), shift);
        };
    }
    Picture6.MouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) {
        editor.Picture6_MouseDown(b, s, x, y);
    };
    Picture6.MouseMove = [this](std::int16_t b, std::int16_t s, float x, float y) {
        editor.Picture6_MouseMove(b, s, x, y);
    };
    Picture6.MouseUp = [this](std::int16_t b, std::int16_t s, float x, float y) {
        editor.Picture6_MouseUp(b, s, x, y);
    };
    for (const auto& [i, p] : Picture10.items()) {
        p->Click = [this, i = i] { editor.Picture10_Click(static_cast<std::int16_t>(i)); };
    }
    for (const auto& [i, p] : Picture11.items()) {
        p->Click = [this, i = i] { editor.Picture11_Click(static_cast<std::int16_t>(i)); };
    }
    for (const auto& [i, o] : Option1.items()) {
        o->Click = [this, i = i] { editor.Option1_Click(static_cast<std::int16_t>(i)); };
    }
}

void Form1::start() {
    form.run("Load", [this] { Form_Load(); });
    form.showCentred();
}

void Form1::carryOut(const StartRequest& request) {
    form.run("Request", [&] {
        showMainView();
        switch (request.action) {
        case StartAction::Show:
            showInFront();
            break;
        case StartAction::Capture:
            // The capture moves the window aside and brings it back in front.
            Command1_Click(command1::kToolBarCapture);
            break;
        case StartAction::Open:
            showInFront();
            files.loadPicture(request.file);
            break;
        }
    });
}

void Form1::showMainView() {
    if (Frame7.visible()) {
        Command11.click();
    }
    if (Frame4.visible()) {
        Command6.click();
    }
}

void Form1::showInFront() {
    if (form.windowState() == WindowState::Minimized) {
        form.setWindowState(WindowState::Normal);
    }
    // Honoured where the desktop allows it: on Wayland with the activation
    // token the starting process passed on.
    form.widget()->activateWindow();
    bringToFront();
}

// ---------------------------------------------------------------- start-up

void Form1::Form_Load() {
    PenDown = 0;
    PenX = 0;
    PenY = 0;
    FormScreenCapture.setLeft(0);
    FormScreenCapture.setTop(0);
    bringToFront();
    Frame5.setBackColor(0x00FFFFFF);
    Frame6.setBackColor(0x00FFFFFF);
    Frame8.setBackColor(0x00FFFFFF);
    Frame10.setBackColor(0x00FFFFFF);
    Frame10.setTop(180);
}

void Form1::Perimene(float PosoTime) {
    IEventPump& pump = m_services.pump;
    const double start = pump.now();
    const double end = start + static_cast<double>(PosoTime);
    while (pump.now() < end) {
        pump.processEvents(end - pump.now());
        if (form.quitting()) {
            throw ProgramEnding{};
        }
    }
}

void Form1::bringToFront() {
    Module1::StayFront(form, true);
    Perimene(0.1F);
    Module1::StayFront(form, false);
}

void Form1::Check2_Click() {
    Module1::StayFront(form, Check2.value() == 1);
}

void Form1::Command17_Click() {
    Check2.setValue(1);
    Frame12.setLeft(0);
    Frame12.setTop(0);
    form.setWindowState(WindowState::Normal);
    form.setWidth(Frame12.width());
    form.setHeight(1165);
    form.setLeft(0);
    form.setTop(0);
    Frame12.setVisible(true);
}

void Form1::Command19_Click() {
    form.setWidth(15675);
    form.setHeight(12015);
}

void Form1::Command1_Click(std::int16_t Index) {
    switch (Index) {
    case command1::kStartPanelCapture:
    case command1::kToolBarCapture:
        capture.capture();
        break;
    case command1::kSaveCrop:
        capture.crop();
        break;
    case command1::kExit:
        form.quit(0);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- layout

void Form1::Form_Resize() {
    // Every step stands alone: one that fails (a negative size, a range that
    // does not fit 16 bits) is skipped and leaves its property as it was.
    skipOnError([&] { Frame5.setTop(form.scaleHeight() - Frame5.height()); });
    skipOnError([&] { Frame5.setLeft(0); });
    skipOnError([&] { Frame6.setTop(form.scaleHeight() - Frame6.height()); });
    skipOnError([&] { Frame6.setLeft(form.scaleWidth() - Frame6.width()); });
    skipOnError([&] { HScroll1.setTop(form.scaleHeight() - HScroll1.height() - Frame5.height()); });
    skipOnError([&] { HScroll1.setWidth(form.scaleWidth() - VScroll1.width()); });
    skipOnError([&] { VScroll1.setLeft(form.scaleWidth() - VScroll1.width()); });
    skipOnError(
        [&] { VScroll1.setHeight(form.scaleHeight() - HScroll1.height() - Frame5.height()); });
    skipOnError([&] { Command2.setLeft(VScroll1.left()); });
    skipOnError([&] { Command2.setTop(HScroll1.top()); });
    skipOnError([&] { Picture1.setWidth(HScroll1.width()); });
    skipOnError([&] { Picture1.setHeight(VScroll1.height()); });
    skipOnError([&] { HScroll1.setMax(scrollRange(FormScreenCapture.width(), Picture1.width())); });
    skipOnError(
        [&] { VScroll1.setMax(scrollRange(FormScreenCapture.height(), Picture1.height())); });
    skipOnError([&] { Frame4.setWidth(form.width()); });
    skipOnError([&] { Frame4.setHeight(form.height()); });
    skipOnError([&] { Picture5.setWidth(form.scaleWidth() - 240); });
    skipOnError([&] { Picture5.setHeight(form.scaleHeight() - 240 - 120 - 1095); });
    skipOnError([&] { Picture8.setTop(120 + Picture5.height() + 120); });
    skipOnError([&] { Picture8.setWidth(Picture5.width()); });
    skipOnError([&] { Frame8.setLeft(Picture8.width() - Frame8.width() - 120); });
    skipOnError([&] { Frame10.setLeft(120); });
    skipOnError([&] { Frame9.setTop(Picture8.top() - 960); });
    skipOnError([&] { Frame12.setVisible(false); });
}

// ---------------------------------------------------------------- settings

void Form1::Command10_Click() {
    Frame7.setLeft(0);
    Frame7.setTop(0);
    Frame7.setVisible(true);
}

void Form1::Command11_Click() {
    Frame7.setVisible(false);
}

void Form1::Picture9_Click(std::int16_t Index) {
    Shape5.setBorderColor(Picture9[Index].backColor());
    Shape1.setBorderColor(Picture9[Index].backColor());
}

} // namespace zs::app
