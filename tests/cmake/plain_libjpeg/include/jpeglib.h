/* The colour spaces of a libjpeg without libjpeg-turbo's extensions (IJG libjpeg 9). */
typedef enum { JCS_UNKNOWN, JCS_GRAYSCALE, JCS_RGB, JCS_YCbCr, JCS_CMYK, JCS_YCCK } J_COLOR_SPACE;
