// Writes every picture, sound and the help file that the game ships:
//   assets/images/*.png   piece sheets, arrows, board lines, background
//                         tiles, splash, turn light and dialog pictures
//   assets/work/*.wav     the ten sound effects
//   assets/work/棋战帮助文件.html   the help file
//
// Usage: make_assets [repository-root]   (default: the current folder)
//        make_assets --preview <folder>   board previews with pieces, for
//                                         judging the artwork; nothing in
//                                         assets/ is touched
// The output is deterministic on one machine (on another processor the raster
// engine may round a few anti-aliased pixels differently); run it again after
// changing the artwork.
#include <QGuiApplication>

#include "assetgen/board.h"
#include "assetgen/common.h"
#include "assetgen/help.h"
#include "assetgen/pictures.h"
#include "assetgen/pieces.h"
#include "assetgen/sounds.h"
#include "core/datafiles.h"

using namespace assetgen;

namespace {

void WritePieces(Writer& w) {
    for (int seat = 0; seat < 4; ++seat)
        w.SaveImage(QString("assets/images/allqzimage%1.png").arg(seat), PieceSheet(seat));
    w.SaveImage("assets/images/alljiantouimage.png", ArrowSheet());
}

void WritePictures(Writer& w) {
    w.SaveImage("assets/images/alllightimage.png", TurnLightStrip());
    w.SaveImage("assets/images/msg_icon.png", MessageIcon());
    w.SaveImage("assets/images/msg_title.png", ProductTitle());
    const char* kinds[3] = {"win", "lose", "peace"};
    const char* titles[3] = {"胜利", "失利", "和棋"};
    const QColor tops[3] = {QColor(255, 226, 120), QColor(220, 220, 226), QColor(200, 230, 255)};
    const QColor bottoms[3] = {QColor(214, 110, 10), QColor(120, 120, 132), QColor(40, 110, 200)};
    for (int k = 0; k < 3; ++k) {
        w.SaveImage(QString("assets/images/result_%1.png").arg(kinds[k]), ResultPicture(k));
        w.SaveImage(QString("assets/images/result_title_%1.png").arg(kinds[k]),
                    TitlePicture(QString::fromUtf8(titles[k]), tops[k], bottoms[k]));
    }
    w.SaveImage("assets/images/winrec_icon.png", RecordIcon());
    w.SaveImage("assets/images/winrec_title.png",
                TitlePicture(QString::fromUtf8("棋战成绩"), QColor(255, 226, 120), QColor(214, 110, 10)));
    const char* menu[4] = {"savezf", "option", "load", "exit"};
    for (int i = 0; i < 4; ++i) w.SaveImage(QString("assets/images/menu_%1.png").arg(menu[i]), MenuIcon(i));
    w.SaveImage("assets/images/net_host.png", NetPicture(0));
    w.SaveImage("assets/images/net_join.png", NetPicture(1));
}

void WriteSounds(Writer& w) {
    for (const SoundDef& d : SoundDefs()) w.SaveBytes(QString("assets/work/") + d.file, WaveFile(d.make()));
}

void WriteHelp(Writer& w) { w.SaveBytes(QString::fromUtf8("assets/work/棋战帮助文件.html"), HelpHtml()); }

bool WriteBoard(Writer& w) {
    const jq::BoardTables& t = jq::Board();
    if (t.boardPoints[124].gridX != 20 || t.boardPoints[0].pixelX != 201) {
        std::fprintf(stderr, "make_assets: the board tables are not built\n");
        return false;
    }
    w.SaveImage("assets/images/gezi.png", GeziPicture(t));
    for (int n = 0; n < 10; ++n) w.SaveImage(QString("assets/images/bg%1.png").arg(n), Tile(n));
    w.SaveImage("assets/images/splash.png", SplashPicture(BoardScene(t, 0, false, true, false)));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    jq::LetWritesFailPastSizeLimit();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(".");
    if (!EnsureCjkFont()) {
        std::fprintf(stderr, "make_assets: the font \"%s\" is not installed\n", kCjkFamily);
        return 2;
    }
    if (argc > 2 && QString(argv[1]) == "--preview") {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        QDir().mkpath(dir);
        for (int n = 0; n < 10; ++n) {
            QImage scene = BoardScene(jq::Board(), n, n % 2 == 0, false, true);
            scene.save(QString("%1/board%2.png").arg(dir).arg(n));
        }
        return 0;
    }
    Writer w(root);
    WritePieces(w);
    WritePictures(w);
    WriteSounds(w);
    WriteHelp(w);
    if (!WriteBoard(w)) return 1;
    return w.failures() == 0 ? 0 : 1;
}
