#include "app/AppState.h"

HINSTANCE AppInstance;
DibImage NoticeBackground;
