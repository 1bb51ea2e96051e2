#include "app/tabmove.h"

namespace velorixa::app {

int TabMove(int mode, int page, int prevTab) {
    switch (page) {
        case 0:
            return 1;
        case 1:
            if (mode == 1) return 2;
            return (prevTab == 2 || prevTab == 3) ? 0 : 2;
        case 2:
            if (mode == 1) return 1;
            return prevTab == 3 ? 1 : 3;
        case 3:
            return 2;
        default:
            return 0;
    }
}

}  // namespace velorixa::app
