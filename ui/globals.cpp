// Storage of the toolkit globals; see globals.h. The geometry holds the PAL
// values until start-up sets the video standard's.
#include "ui/globals.h"

XtAppContext app = nullptr;
Widget app_shell, mainform, summaform, happyswin, happyform, workswin, workform;
Widget happy_h, happy_v, work_h, work_v;
Widget in_out_bg, rec_bg;
int XBORD = 2, XLARG = 206, YBORD = 2, YLARG = 214, HAPPYH = 206, VTRH = 100, NCOL = 6;
Pixel background, RED_COL, YEL_COL, BUSY_YEL, BUSY_GRN;
std::atomic<int> isPlayActive{0};
