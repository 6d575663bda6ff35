// The options dialog: the page opened for each output format, the PDF
// page's checks on OK, and what OK and Cancel store.
#include "app/optiondialog.h"

#include "app/controls/langstring.h"
#include "app/tests/apptestutil.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

TEST(OptionDialog, OpensThePageOfTheOutputFormat)
{
    const struct {
        int format;
        int page;
    } cases[] = {{1, 1}, {2, 0}, {3, 2}, {4, 3}, {5, 0}, {6, 4}, {7, 0}, {-1, 0}};
    const QString titles[5] = {QStringLiteral("OCR"), GetLangString(168), GetLangString(169), GetLangString(170),
                               GetLangString(176)};
    for (const auto& c : cases) {
        CFSMSettings settings;
        CDlgOption dialog(settings, c.format);
        EXPECT_EQ(dialog.CurrentPage(), c.page) << "format " << c.format;
        EXPECT_EQ(dialog.TitleText(), titles[c.page]) << "format " << c.format;
    }
}

struct ConfirmCase {
    const char* name;
    int sizeAx;
    int height, width;
    int cutEdge;
    int cuts[4];
    bool accepted;
    int message;      // string id shown, 0 none
    int shownHeight, shownWidth;
    int shownCut;     // every cut value afterwards; -1: as given
};

class OptionConfirm : public testing::TestWithParam<ConfirmCase> {};

TEST_P(OptionConfirm, RefusesOutOfRangeValuesAndShowsTheCorrection)
{
    const ConfirmCase& c = GetParam();
    CFSMSettings settings;
    CDlgOption dialog(settings, 6);
    QStringList messages;
    dialog.SetMessageSink([&](const QString& m) { messages << m; });
    COptionPdf* pdf = dialog.pdfPage();
    pdf->size->button(c.sizeAx)->click();
    pdf->height->setValue(c.height);
    pdf->width->setValue(c.width);
    if ((pdf->cutEdge->isChecked() ? 1 : 0) != c.cutEdge)
        pdf->cutEdge->click();
    for (int i = 0; i < 4; ++i)
        pdf->cut[i]->setValue(c.cuts[i]);

    EXPECT_EQ(dialog.Confirm(), c.accepted);
    EXPECT_EQ(dialog.result(), c.accepted ? QDialog::Accepted : 0);
    EXPECT_EQ(messages, c.message ? QStringList{GetLangString(c.message)} : QStringList{});
    EXPECT_EQ(settings.PDFSizeHeight, c.shownHeight);
    EXPECT_EQ(pdf->height->value(), c.shownHeight);
    EXPECT_EQ(pdf->width->value(), c.shownWidth);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pdf->cut[i]->value(), c.shownCut < 0 ? c.cuts[i] : c.shownCut);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionConfirm,
    testing::Values(
        ConfirmCase{"customInRange", 9, 297, 210, 0, {0, 0, 0, 0}, true, 0, 297, 210, -1},
        ConfirmCase{"customZero", 9, 0, 0, 0, {0, 0, 0, 0}, false, 251, 297, 210, -1},
        ConfirmCase{"customTooHigh", 9, 298, 100, 0, {0, 0, 0, 0}, false, 251, 297, 210, -1},
        ConfirmCase{"customTooWide", 9, 100, 211, 0, {0, 0, 0, 0}, false, 251, 297, 210, -1},
        ConfirmCase{"paperIgnoresSize", 1, 0, 0, 0, {0, 0, 0, 0}, true, 0, 0, 0, -1},
        ConfirmCase{"cutInRange", 3, 0, 0, 1, {1, 49, 10, 5}, true, 0, 0, 0, -1},
        ConfirmCase{"cutZero", 3, 0, 0, 1, {0, 5, 5, 5}, false, 252, 0, 0, 5},
        ConfirmCase{"cutFifty", 3, 0, 0, 1, {5, 5, 5, 50}, false, 252, 0, 0, 5},
        ConfirmCase{"cutOffAnyValues", 3, 0, 0, 0, {0, 50, 99, 0}, true, 0, 0, 0, -1}),
    [](const testing::TestParamInfo<ConfirmCase>& info) { return std::string(info.param.name); });

TEST(OptionDialog, ASizeOutsideTheEditsShowsAsZero)
{
    CFSMSettings settings;
    settings.PDFSizeHeight = 3000;
    settings.PDFSizeWidth = 100;
    CDlgOption dialog(settings, 6);
    EXPECT_EQ(dialog.pdfPage()->height->value(), 0);
    EXPECT_EQ(dialog.pdfPage()->width->value(), 100);
}

TEST(OptionDialog, OkStoresEveryPageAndCancelOnlyWhatThePdfPageWrote)
{
    CFSMSettings settings;
    settings.EpubConvertKind = 0;
    settings.PDFSizeAx = 3;
    {
        CDlgOption dialog(settings, 1);
        EXPECT_FALSE(dialog.epubPage()->ignoreImages->isEnabled());
        dialog.epubPage()->kind->button(1)->click();
        EXPECT_TRUE(dialog.epubPage()->ignoreImages->isEnabled());
        dialog.epubPage()->ignoreImages->click();
        dialog.pdfPage()->size->button(1)->click();
        dialog.reject();
    }
    EXPECT_EQ(settings.EpubConvertKind, 0);
    EXPECT_EQ(settings.EpubIgnoreImg, 0);
    EXPECT_EQ(settings.PDFSizeAx, 1);

    CDlgOption dialog(settings, 3);
    dialog.epubPage()->kind->button(1)->click();
    dialog.ocrPage()->enable->click();
    dialog.ocrPage()->mode->button(1)->click();
    dialog.imagePage()->kind->button(1)->click();
    EXPECT_FALSE(dialog.imagePage()->resolution->button(0)->isEnabled());
    dialog.htmlPage()->ignoreImages->click();
    ASSERT_TRUE(dialog.Confirm());
    EXPECT_EQ(settings.EpubConvertKind, 1);
    EXPECT_EQ(settings.EnableOCR, 1);
    EXPECT_EQ(settings.OCRMode, 1);
    EXPECT_EQ(settings.ImgConvertKind, 1);
    EXPECT_EQ(settings.HtmlIgnoreImg, 1);
}

} // namespace
