// Colours, bitmaps, JPEG decoding and what windowless controls really put on the screen.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "base/exception.h"
#include "base/stream.h"
#include "tests/winui/ui_test_util.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

// A JPEG made here with the same library: left half one colour, right half another.
std::vector<unsigned char> MakeJpeg(int width, int height, COLORREF left, COLORREF right) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    const COLORREF c = x < width / 2 ? left : right;
    row[static_cast<size_t>(x) * 3] = GetRValue(c);
    row[static_cast<size_t>(x) * 3 + 1] = GetGValue(c);
    row[static_cast<size_t>(x) * 3 + 2] = GetBValue(c);
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<unsigned char> bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  free(out);
  return bytes;
}

COLORREF BitmapPixel(TBitmap* b, int x, int y) {
  GdiFlush();
  const uint32_t p = b->Bits()[static_cast<size_t>(y) * static_cast<size_t>(b->Width()) + static_cast<size_t>(x)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST(Colors, SystemColoursResolveAtRunTimeAndPlainOnesPassThrough) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(ColorToRGB(clMoneyGreen), RGB(192, 220, 192));
  EXPECT_LT(clBtnFace, 0);  // the top bit marks a system colour
}

TEST(Jpeg, DecodesPicturesFromBytesInMemory) {
  const auto bytes = MakeJpeg(32, 16, RGB(200, 30, 30), RGB(20, 40, 220));
  TJPEGImage jpeg;
  jpeg.LoadFromMemory(bytes.data(), bytes.size());
  EXPECT_EQ(jpeg.Width(), 32);
  EXPECT_EQ(jpeg.Height(), 16);
  EXPECT_TRUE(NearColor(BitmapPixel(jpeg.Bitmap(), 4, 8), RGB(200, 30, 30), 12));
  EXPECT_TRUE(NearColor(BitmapPixel(jpeg.Bitmap(), 28, 8), RGB(20, 40, 220), 12));
  // From a stream too, starting at the stream's position.
  TMemoryStream stream;
  const char junk[3] = {1, 2, 3};
  stream.WriteBuffer(junk, 3);
  stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(3);
  TJPEGImage again;
  again.LoadFromStream(stream);
  EXPECT_EQ(again.Width(), 32);
}

TEST(Jpeg, DamagedOrForeignBytesRaiseAnExceptionInsteadOfEndingTheProgram) {
  TJPEGImage jpeg;
  EXPECT_THROW(jpeg.LoadFromMemory(nullptr, 0), Exception);
  const std::string text = "this is not a picture at all, only text";
  EXPECT_THROW(jpeg.LoadFromMemory(text.data(), text.size()), Exception);
  auto bytes = MakeJpeg(16, 16, RGB(0, 0, 0), RGB(255, 255, 255));
  std::vector<unsigned char> header(bytes.begin(), bytes.begin() + 20);  // cut inside the headers
  EXPECT_THROW(jpeg.LoadFromMemory(header.data(), header.size()), Exception);
  // A header claiming a giant picture is refused before pixel memory is taken.
  std::vector<unsigned char> giant = bytes;
  bool patched = false;
  for (size_t i = 0; i + 8 < giant.size(); ++i) {
    if (giant[i] == 0xFF && giant[i + 1] == 0xC0) {  // start of frame: height and width follow
      giant[i + 5] = 0xEA, giant[i + 6] = 0x60;
      giant[i + 7] = 0xEA, giant[i + 8] = 0x60;
      patched = true;
      break;
    }
  }
  ASSERT_TRUE(patched);
  EXPECT_THROW(jpeg.LoadFromMemory(giant.data(), giant.size()), Exception);
  // Still usable afterwards, and a failed load keeps the picture it had.
  jpeg.LoadFromMemory(bytes.data(), bytes.size());
  EXPECT_EQ(jpeg.Width(), 16);
  EXPECT_THROW(jpeg.LoadFromMemory(text.data(), text.size()), Exception);
  EXPECT_EQ(jpeg.Width(), 16);
}

TEST(Bitmap, LoadsABmpFileAndCopiesKeepThePixels) {
  // A 2 x 2, 24-bit BMP written by hand: bottom row first, rows padded to 4 bytes.
  const unsigned char bmp[] = {'B', 'M', 70,  0,   0,   0,   0, 0, 0, 0, 54, 0, 0, 0,  // file header
                               40,  0,   0,   0,   2,   0,   0, 0, 2, 0, 0,  0, 1, 0, 24, 0, 0, 0, 0, 0,
                               16,  0,   0,   0,   0,   0,   0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,  // info header
                               0,   0,   255, 0,   255, 0,   0, 0,   // bottom row: red, green
                               255, 0,   0,   255, 255, 255, 0, 0};  // top row: blue, white
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, path);
  std::string file = std::string(path) + "layer_test.bmp";
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bmp, 1, sizeof(bmp), f);
  std::fclose(f);
  TPicture picture;
  picture.LoadFromFile(file);
  TBitmap* b = picture.Bitmap();
  ASSERT_EQ(b->Width(), 2);
  ASSERT_EQ(b->Height(), 2);
  EXPECT_EQ(BitmapPixel(b, 0, 0), RGB(0, 0, 255));
  EXPECT_EQ(BitmapPixel(b, 1, 0), RGB(255, 255, 255));
  EXPECT_EQ(BitmapPixel(b, 0, 1), RGB(255, 0, 0));
  EXPECT_EQ(BitmapPixel(b, 1, 1), RGB(0, 255, 0));
  // Glyph convention: the bottom-left pixel is the transparent colour.
  EXPECT_EQ(ColorToRGB(b->TransparentColor()), RGB(255, 0, 0));
  TBitmap copy;
  copy.Assign(*b);
  EXPECT_EQ(BitmapPixel(&copy, 1, 1), RGB(0, 255, 0));
  DeleteFileA(file.c_str());
  EXPECT_THROW(picture.LoadFromFile(file), Exception);
  EXPECT_THROW(picture.LoadFromFile("picture.gif"), Exception);
}

TEST(Canvas, DrawsWithItsPenAndBrushOnABitmap) {
  TBitmap b;
  b.SetSize(20, 10);
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clNavy);
  c->FillRect(RECT{0, 0, 10, 10});
  c->Pen()->SetColor(clRed);
  c->MoveTo(10, 5);
  c->LineTo(20, 5);
  EXPECT_EQ(c->Pixel(3, 3), RGB(0, 0, 128));
  EXPECT_EQ(c->Pixel(15, 5), RGB(255, 0, 0));
  EXPECT_EQ(c->Pixel(15, 2), RGB(255, 255, 255));
  // Changing a tool while it is selected takes effect on the next call.
  c->Brush()->SetColor(clLime);
  c->FillRect(RECT{0, 0, 2, 2});
  EXPECT_EQ(c->Pixel(1, 1), RGB(0, 255, 0));
}

class TPictureForm : public TForm {
public:
  explicit TPictureForm(TComponent* owner) : TForm(owner) {
    SetCaption("Picture form");
    SetBorderStyle(bsNone);
    SetClientSize(120, 80);
    SetColor(clWhite);
    Image1 = new TImage(this);
    Image1->SetParent(this);
    Image1->SetBounds(0, 0, 120, 60);
    Image1->SetStretch(true);
    Label1 = new TLabel(this);
    Label1->SetParent(this);
    Label1->SetAutoSize(false);
    Label1->SetBounds(10, 10, 40, 30);
    Label1->SetCaption(".");
    Label1->SetTransparent(true);
    Label2 = new TLabel(this);
    Label2->SetParent(this);
    Label2->SetAutoSize(false);
    Label2->SetBounds(70, 10, 40, 30);
    Label2->SetCaption(".");
    Label2->SetColor(clYellow);
    SpeedButton1 = new TSpeedButton(this);
    SpeedButton1->SetParent(this);
    SpeedButton1->SetBounds(0, 60, 40, 20);
    SpeedButton1->SetFlat(true);
  }
  TImage* Image1;
  TLabel* Label1;
  TLabel* Label2;
  TSpeedButton* SpeedButton1;
};

TEST(Painting, ImageLabelsAndGlyphsShowOnTheWindow) {
  FormsGuard guard;
  TPictureForm* form = nullptr;
  Application->CreateForm(form);
  const auto bytes = MakeJpeg(24, 12, RGB(0, 0, 200), RGB(0, 0, 200));
  auto jpeg = std::make_unique<TJPEGImage>();
  jpeg->LoadFromMemory(bytes.data(), bytes.size());
  form->Image1->Picture()->SetGraphic(std::move(jpeg));
  // A green glyph whose bottom-left pixel (magenta) is see-through.
  std::vector<uint32_t> px(8 * 8, 0x0000FF00u);
  px[7 * 8] = 0x00FF00FFu;
  TBitmap glyph;
  glyph.LoadFromBits(8, 8, px.data());
  form->SpeedButton1->SetGlyph(glyph);
  form->Show();
  HWND h = form->Handle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h); }));
  // The stretched JPEG fills the image area.
  EXPECT_TRUE(NearColor(PixelAt(h, 60, 50), RGB(0, 0, 200), 12));
  // A transparent label shows the picture below it; an opaque one its own colour.
  EXPECT_TRUE(NearColor(PixelAt(h, 45, 35), RGB(0, 0, 200), 12));
  EXPECT_EQ(PixelAt(h, 105, 35), RGB(255, 255, 0));
  // The glyph sits centred in the button: 16..23 x 66..73; its see-through corner shows the form.
  EXPECT_EQ(PixelAt(h, 20, 68), RGB(0, 255, 0));
  EXPECT_EQ(PixelAt(h, 16, 73), RGB(255, 255, 255));
  // Hiding a windowless control uncovers what is below.
  form->Label2->Hide();
  EXPECT_TRUE(NearColor(PixelAt(h, 105, 35), RGB(0, 0, 200), 12));
}

TEST(Painting, PaintingABitmapImageLeavesNothingToRepaint) {
  FormsGuard guard;
  TPictureForm* form = nullptr;
  Application->CreateForm(form);
  form->Label1->Hide();
  form->Label2->Hide();
  std::vector<uint32_t> px(16 * 8, 0x000000C8u);  // blue
  form->Image1->Picture()->Bitmap()->LoadFromBits(16, 8, px.data());
  form->Show();
  HWND h = form->Handle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h); }));
  for (bool transparent : {false, true}) {
    form->Image1->SetTransparent(transparent);
    UpdateWindow(h);
    // A paint that invalidated its own image again would keep a message loop busy for ever.
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE)) << "transparent " << transparent;
  }
  form->Image1->SetTransparent(false);
  UpdateWindow(h);
  EXPECT_TRUE(NearColor(PixelAt(h, 60, 30), RGB(0, 0, 200), 12));
}

TEST(Painting, ControlCanvasDrawsOnAWindowlessControlsPlaceOutsidePaint) {
  FormsGuard guard;
  TPictureForm* form = nullptr;
  Application->CreateForm(form);
  form->Image1->Hide();
  form->Show();
  HWND h = form->Handle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(h); }));
  PixelAt(h, 0, 0);  // let the first paint happen
  TControlCanvas canvas(form->SpeedButton1);
  canvas.Brush()->SetColor(clRed);
  canvas.FillRect(RECT{0, 0, 100, 100});  // clipped to the button's 40 x 20
  EXPECT_EQ(PixelAt(h, 5, 65), RGB(255, 0, 0));
  EXPECT_EQ(PixelAt(h, 45, 65), RGB(255, 255, 255));
  // Moved, the same canvas draws at the new place (its old context was given up).
  form->SpeedButton1->SetLeft(60);
  PixelAt(h, 0, 0);  // the move's repaint first
  canvas.Brush()->SetColor(clLime);
  canvas.FillRect(RECT{0, 0, 100, 100});
  EXPECT_EQ(PixelAt(h, 65, 65), RGB(0, 255, 0));
  EXPECT_EQ(PixelAt(h, 105, 65), RGB(255, 255, 255));
}

}  // namespace

namespace {

TEST(Painting, NativeParentsLikeGroupBoxesAndStatusBarsPaintTheirWindowlessChildren) {
  FormsGuard guard;
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetClientSize(300, 150);
  auto* group = new TGroupBox(form);
  group->SetParent(form);
  group->SetBounds(0, 0, 200, 100);
  group->SetCaption("Gruppe");
  auto* label = new TLabel(form);
  label->SetParent(group);
  label->SetAutoSize(false);
  label->SetBounds(20, 30, 50, 30);
  label->SetColor(clYellow);
  auto* bar = new TStatusBar(form);
  bar->SetParent(form);
  bar->SetBounds(0, 120, 300, 22);
  bar->Panels()->Add()->SetWidth(100);
  bar->Panels()->Add()->SetWidth(100);
  auto* button = new TSpeedButton(form);
  button->SetTransparent(false);
  button->SetColor(clRed);
  button->SetFlat(true);
  form->Show();
  const RECT r = bar->PanelRect(1);
  button->SetParent(bar);
  button->SetBoundsRect(r);
  HWND g = group->Handle();
  EXPECT_EQ(PixelAt(g, 60, 55), RGB(255, 255, 0));
  // The group box's own background around it.
  EXPECT_EQ(PixelAt(g, 100, 55), ColorToRGB(clBtnFace));
  EXPECT_EQ(PixelAt(bar->Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2), RGB(255, 0, 0));
}

}  // namespace
