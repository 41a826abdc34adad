// libjpeg's header as JUCE's JPEG code needs it on Windows. JUCE includes it
// inside a namespace of its own and then names that namespace's `boolean`; but
// the Windows headers already declare `boolean` (unsigned char, the type the
// library was built with), so libjpeg declares none. Declare it here, as the
// same type.
#include_next <jpeglib.h>

#if defined(_WIN32) && defined(__cplusplus)
typedef ::boolean boolean;
#endif
