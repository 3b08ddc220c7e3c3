/*
 * The C bridge over LibRaw: the only code of Quillmere that calls LibRaw.
 *
 * Every function that returns int32_t returns 0 on success and -1 on failure; on failure it writes
 * one English sentence into `error` (cut to errorLength - 1 bytes and always terminated; nothing is
 * written when `error` is null or errorLength is 0), leaves the caller's records untouched and sets
 * every output pointer to null. No exception and no LibRaw error code leaves a bridge function.
 * Each call opens its own LibRaw instance, so calls may run on any thread, several at a time.
 * Before LibRaw unpacks anything, every call refuses a file whose colour filter is a 2x2 mosaic of
 * three colours other than a Bayer quad ("Unsupported CFA layout."), and every call that reads or
 * develops its image refuses one whose bytes cannot hold the samples it states ("The RAW file
 * holds no image data.") or the pixels LibRaw's development would make of them ("The RAW file
 * holds too little image data for its developed size.").
 * Buffers handed out are owned by the caller and released with qx_raw_free.
 *
 * Per-channel arrays hold four entries in the order R, G1, B, G2; G1 is the green sample in the
 * red sample's row of the 2x2 quad, G2 the green in the other row.
 */
#ifndef QUILLMERE_RAWBRIDGE_QX_RAW_H
#define QUILLMERE_RAWBRIDGE_QX_RAW_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The sensor of a three-colour Bayer RAW file: 44 four-byte fields. Positions are sensor samples
 * of LibRaw's visible area, x from the left and y from the top. */
typedef struct QXRAWMetadata {
    int32_t width;         /* visible width rounded down to an even number */
    int32_t height;        /* visible height rounded down to an even number */
    int32_t packed_width;  /* 2x2 quads per row: visible width / 2 */
    int32_t packed_height; /* quad rows: visible height / 2 */
    int32_t crop_x;        /* default crop in sensor samples */
    int32_t crop_y;
    int32_t crop_width;
    int32_t crop_height;
    int32_t output_width;  /* developed size after orientation */
    int32_t output_height;
    int32_t orientation;   /* LibRaw flip: 4 transpose, 2 mirror rows, 1 mirror columns */
    int32_t cfa_x[4];      /* column (0 or 1) of R, G1, B, G2 within the quad */
    int32_t cfa_y[4];      /* row (0 or 1) of R, G1, B, G2 within the quad */
    float iso;
    float black[4];        /* raw counts, at the channel's sample of the first quad */
    float white[4];        /* raw counts */
    float camera_white_balance[4]; /* as-shot multipliers, unnormalised */
    float noise_shot[4];           /* variance per unit of level, normalised units */
    float noise_read_variance[4];  /* normalised units squared */
    int32_t noise_samples[4];      /* flat patches the noise fit found */
} QXRAWMetadata;

/* What a RAW file's header states about its capture and its camera's colour. Texts are
 * NUL-terminated and empty when unknown; numbers are 0 when unknown. */
typedef struct QXRAWCaptureInfo {
    char make[64];
    char model[64];
    char lens[128];
    float iso;
    float exposure_time; /* seconds */
    float f_number;
    float focal_length;  /* millimetres */
    int64_t timestamp;   /* the camera's clock read as local time, seconds since 1970 */
    int32_t orientation; /* LibRaw flip, as in QXRAWMetadata */
    float baseline_exposure; /* DNG BaselineExposure, EV */
    /* The multipliers of camera R, G, B that development applies: as shot, else LibRaw's
     * daylight ones, else 1. A neutral surface gave camera values proportional to their
     * reciprocals. */
    float white_balance[3];
    /* The camera's colour: XYZ to camera R, G, B, row by row, with the file's camera calibration
     * and analog balance applied; a DNG may carry two, each for its calibration illuminant (an
     * EXIF LightSource code, 0 when unknown). No matrix means LibRaw takes camera values as
     * linear sRGB. */
    int32_t colour_matrix_count; /* 0 to 2 */
    int32_t calibration_illuminant[2];
    float xyz_to_camera[2][9];
} QXRAWCaptureInfo;

/* Reads the sensor of the RAW file at `path`: fills `metadata` and stores in `*pixels` a plane of
 * packed_width x packed_height elements (rows top first) of four floats R, G1, B, G2, each a raw
 * count normalised from its black to its white level and clamped to 0...1. */
int32_t qx_raw_read(const char* path, QXRAWMetadata* metadata, float** pixels, char* error,
                    size_t errorLength);

/* Writes a packed plane in the layout of qx_raw_read back into a fresh copy of the file's sensor
 * data, demosaics it and stores in `*rgba` output_width x output_height pixels of four IEEE half
 * floats R, G, B, A (linear, white-balanced, camera-to-sRGB primaries, cropped and oriented), rows
 * bottom first. `metadata` must be the record qx_raw_read gave for the same file. */
int32_t qx_raw_render(const char* path, const QXRAWMetadata* metadata, const float* packed,
                      uint16_t** rgba, char* error, size_t errorLength);

/* Develops the file with LibRaw alone (camera white balance, sRGB primaries, linear, default crop,
 * orientation) into `*rgba`: pixels of four IEEE half floats R, G, B, A, rows bottom first.
 * `info` receives three 32-bit slots: the width and the height as int32_t, and the ISO as the bits
 * of a float. */
int32_t qx_raw_render_original(const char* path, int32_t info[3], uint16_t** rgba, char* error,
                               size_t errorLength);

/* A RAW file's sensor data, unpacked once and kept for developing it as often as needed; made
 * by qx_raw_sensor_open and released with qx_raw_sensor_close. One caller at a time: calls on one
 * sensor must not overlap. */
typedef struct QXRAWSensor QXRAWSensor;

/* Reads the file as qx_raw_read does (the record with its noise fit) and keeps its unpacked
 * sensor data in a new sensor stored in `*sensor`. */
int32_t qx_raw_sensor_open(const char* path, QXRAWMetadata* metadata, QXRAWSensor** sensor,
                           char* error, size_t errorLength);

/* Fills `packed` (packed_width x packed_height elements of four floats) with the sensor's packed
 * plane as qx_raw_read gives it. */
int32_t qx_raw_sensor_read(QXRAWSensor* sensor, float* packed, char* error, size_t errorLength);

/* Develops `packed`, a plane in the layout of qx_raw_read, or the sensor's own plane when it is
 * null, as qx_raw_render does, into the caller's `rgba`: output_width x output_height pixels of
 * four IEEE half floats, rows bottom first. The sensor keeps its own data for the next call. */
int32_t qx_raw_sensor_render(QXRAWSensor* sensor, const float* packed, uint16_t* rgba, char* error,
                             size_t errorLength);

/* Releases a sensor; null is ignored. */
void qx_raw_sensor_close(QXRAWSensor* sensor);

/* Develops the RAW file at `path` at half size for a thumbnail, with the colour of the preview's
 * development (each 2 x 2 block of a Bayer sensor one pixel, no demosaicing; other sensors by
 * LibRaw as qx_raw_render_original develops them), default crop and orientation applied, never
 * the preview the camera embedded. Stores in `*rgba` width x height pixels of four IEEE half floats
 * R, G, B, A (linear, values above 1 kept), rows bottom first, and the size in `size` (width,
 * height). */
int32_t qx_raw_thumbnail(const char* path, int32_t size[2], uint16_t** rgba, char* error,
                         size_t errorLength);

/* Reads the capture information of the RAW file at `path` from its header; the sensor data is
 * not decoded. */
int32_t qx_raw_read_capture_info(const char* path, QXRAWCaptureInfo* info, char* error,
                                 size_t errorLength);

/* Whether the file opens as a three-colour Bayer RAW of square samples that qx_raw_read can
 * read. */
bool qx_raw_is_supported_bayer(const char* path);

/* Releases a buffer handed out by qx_raw_read, qx_raw_render, qx_raw_render_original or
 * qx_raw_thumbnail. */
void qx_raw_free(void* pointer);

/* LibRaw's version text; owned by LibRaw, never released. */
const char* qx_raw_version(void);

#ifdef __cplusplus
}
#endif

#endif /* QUILLMERE_RAWBRIDGE_QX_RAW_H */
