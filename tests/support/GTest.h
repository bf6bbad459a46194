// GoogleTest without the Windows macros that winegcc defines: with them it
// would take its Windows code paths, which do not exist in this mode.
#pragma once

#pragma push_macro("_WIN32")
#pragma push_macro("WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN64")
#pragma push_macro("__WIN32__")
#pragma push_macro("__WIN32")
#pragma push_macro("__WIN64")
#pragma push_macro("__WIN64__")
#pragma push_macro("__WINNT")
#pragma push_macro("__WINNT__")
#undef _WIN32
#undef WIN32
#undef _WIN64
#undef WIN64
#undef __WIN32__
#undef __WIN32
#undef __WIN64
#undef __WIN64__
#undef __WINNT
#undef __WINNT__
#include <gtest/gtest.h>
#pragma pop_macro("__WINNT__")
#pragma pop_macro("__WINNT")
#pragma pop_macro("__WIN64__")
#pragma pop_macro("__WIN64")
#pragma pop_macro("__WIN32")
#pragma pop_macro("__WIN32__")
#pragma pop_macro("WIN64")
#pragma pop_macro("_WIN64")
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN32")
