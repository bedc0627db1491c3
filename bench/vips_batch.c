/* libvips as a library in one process over a list of files: the peer of corvane-batch in
 * bench/compare that pays no process start per file.
 *
 *   vips_batch WORKLOAD OUTDIR FILE...
 *
 * WORKLOAD is one of bench/compare's jobs:
 *   jpeg2png   the file saved as OUTDIR/STEM.png
 *   long1600   thumbnail within 1600 x 1600 (never enlarged), OUTDIR/STEM.jpg at Q 75
 *   rot90      turned 90 degrees clockwise, OUTDIR/STEM.jpg at Q 75
 *   half2png   thumbnail into the box of half the width and height, OUTDIR/STEM.png
 *   heic2jpeg  the file (a HEIC, read through libheif) saved as OUTDIR/STEM.jpg at Q 75
 *   jpeg2webp  the file saved as OUTDIR/STEM.webp at libwebp's default quality (75)
 *
 * Each save keeps libvips' own defaults apart from the JPEG quality the job names. libvips
 * threads each picture as it always does (VIPS_CONCURRENCY, default one thread per core); the
 * script also runs one copy per core with VIPS_CONCURRENCY=1 on a share of the files. The
 * operation cache is switched off: no operation repeats in a batch, and cached pictures would
 * only hold memory.
 */

#include <vips/vips.h>

#include <stdio.h>
#include <string.h>

static int Save(VipsImage *image, const char *outdir, const char *path, const char *suffix) {
    const char *slash = strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    const char *dot = strrchr(name, '.');
    int stem = dot ? (int)(dot - name) : (int)strlen(name);
    char target[4096];
    snprintf(target, sizeof target, "%s/%.*s%s", outdir, stem, name, suffix);
    return vips_image_write_to_file(image, target, NULL);
}

static VipsImage *Load(const char *workload, const char *path) {
    VipsImage *in = NULL;
    VipsImage *out = NULL;
    if (strcmp(workload, "jpeg2png") == 0 || strcmp(workload, "heic2jpeg") == 0 ||
        strcmp(workload, "jpeg2webp") == 0) {
        return vips_image_new_from_file(path, "access", VIPS_ACCESS_SEQUENTIAL, NULL);
    }
    if (strcmp(workload, "long1600") == 0) {
        if (vips_thumbnail(path, &out, 1600, "height", 1600, "size", VIPS_SIZE_DOWN, NULL)) {
            return NULL;
        }
        return out;
    }
    if (strcmp(workload, "rot90") == 0) {
        if (!(in = vips_image_new_from_file(path, NULL))) {
            return NULL;
        }
        int failed = vips_rot(in, &out, VIPS_ANGLE_D90, NULL);
        g_object_unref(in);
        return failed ? NULL : out;
    }
    if (strcmp(workload, "half2png") == 0) {
        if (!(in = vips_image_new_from_file(path, NULL))) {
            return NULL;
        }
        int width = vips_image_get_width(in) / 2;
        int height = vips_image_get_height(in) / 2;
        g_object_unref(in);
        if (vips_thumbnail(path, &out, width > 0 ? width : 1, "height", height > 0 ? height : 1,
                           NULL)) {
            return NULL;
        }
        return out;
    }
    vips_error("vips_batch", "unknown workload %s", workload);
    return NULL;
}

int main(int argc, char **argv) {
    if (VIPS_INIT(argv[0])) {
        vips_error_exit(NULL);
    }
    if (argc < 3) {
        fprintf(stderr, "usage: %s WORKLOAD OUTDIR FILE...\n", argv[0]);
        return 2;
    }
    vips_cache_set_max(0);
    const char *workload = argv[1];
    const int png = strcmp(workload, "jpeg2png") == 0 || strcmp(workload, "half2png") == 0;
    const char *suffix = png ? ".png"
                         : strcmp(workload, "jpeg2webp") == 0 ? ".webp"
                                                              : ".jpg[Q=75]";
    for (int i = 3; i < argc; ++i) {
        VipsImage *image = Load(workload, argv[i]);
        if (!image) {
            vips_error_exit("%s", argv[i]);
        }
        int failed = Save(image, argv[2], argv[i], suffix);
        g_object_unref(image);
        if (failed) {
            vips_error_exit("%s", argv[i]);
        }
    }
    vips_shutdown();
    return 0;
}
