// The About rollout: the picture, the plug-in version and "Check for
// update", and the automatic check the first time it opens after the
// library was loaded.

#include "about.h"

#include "plugin.h"
#include "resources/resource.h"
#include "update.h"

namespace {

constexpr int kPictureWidth = 160;
constexpr int kPictureHeight = 56;

class AboutDlgProc : public ParamMap2UserDlgProc {
public:
    AboutDlgProc() = default;
    AboutDlgProc(const AboutDlgProc&) = delete;
    AboutDlgProc& operator=(const AboutDlgProc&) = delete;
    // The host deletes the procedure after the rollout's window is gone, so
    // no control shows the picture any more.
    ~AboutDlgProc() override {
        if (images) ImageList_Destroy(images);
    }

    INT_PTR DlgProc(TimeValue, IParamMap2*, HWND window, UINT message, WPARAM wParam,
                    LPARAM) override {
        switch (message) {
            case WM_INITDIALOG:
                initialise(window);
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDC_CHECK_UPDATE) {
                    UpdateState& state = updateState();
                    // Asked for by the user: it may offer automatic checks.
                    state.alreadyRun = false;
                    runUpdateCheck(state, window);
                }
                return 0;
            default:
                return 0;
        }
    }

    void DeleteThis() override { delete this; }

private:
    void initialise(HWND window) {
        if (ICustImage* picture = GetICustImage(GetDlgItem(window, IDC_ABOUT_IMAGE))) {
            // Each opening of the rollout has its own list, kept while it is open.
            if (!images) {
                images = ImageList_Create(kPictureWidth, kPictureHeight, ILC_COLORDDB, 1, 0);
                HBITMAP bitmap = LoadBitmapW(hInstance, MAKEINTRESOURCEW(IDB_ABOUT));
                ImageList_Add(images, bitmap, nullptr);
                if (bitmap) DeleteObject(bitmap);
            }
            picture->SetImage(images, 0, kPictureWidth, kPictureHeight);
            ReleaseICustImage(picture);
        }
        ShowWindow(GetDlgItem(window, IDC_CHECK_UPDATE), SW_SHOW);
        UpdateState& state = updateState();
        const std::wstring version = L"Version: " + state.pluginVersion.toStdWString();
        SetDlgItemTextW(window, IDC_VERSION, version.c_str());
        if (state.autoCheck && !state.alreadyRun) {
            state.alreadyRun = true;
            runUpdateCheck(state, window);
        }
    }

    HIMAGELIST images = nullptr;
};

}  // namespace

ParamMap2UserDlgProc* CreateAboutDlgProc(Carvex*) {
    return new AboutDlgProc;
}
