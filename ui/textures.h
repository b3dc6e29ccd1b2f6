#pragma once
// The texture manager: every OpenGL texture of the program, addressed by a small reference
// number. The drawing code binds by reference and never sees GL texture names.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

// What a failed load does.
enum tex_fail_mode {
  tex_fail_ignore = 0,
  tex_fail_warn_scene = 1,
  tex_fail_warn_plane = 2,
  tex_fail_warn_install = 3,
  tex_fail_quit = 4,
};

enum tex_load_time { tex_load_now = 100, tex_load_scenery = 101, tex_load_never = 102 };

enum load_fail_status { status_okay = 0, status_fail = 1, status_mute = 2 };

constexpr int kTexFreeSlot = -105;    // load_type of a slot nobody uses
constexpr int kTexNormal = -100;      // load_type of a plain texture
constexpr int kTexFallbackRef = 3373;  // bound in place of a texture that is not loaded
constexpr int kTexFirstAutoRef = 3374; // references the manager picks start here
constexpr int kTexMaxDim = 1024;       // largest texture side the manager makes
constexpr std::size_t kTexTempBytes = 4194319;  // room of scratch_array_temp

// filter_type: bits 0-2 pick the pixel format, the others are these flags.
constexpr int tex_flag_mipmap = 0x08;
constexpr int tex_flag_repeat = 0x10;
constexpr int tex_flag_double_res = 0x20;
constexpr int tex_flag_half_res = 0x40;
constexpr int tex_flag_full_res = 0x80;
constexpr int tex_flag_use_scratch = 0x100;
constexpr int tex_flag_key_color = 0x400;

// References of the installer's embedded images.
constexpr int kTexInterfaceRef = 363;
constexpr int kTexInstallerRef = 364;
constexpr int kTexInsBack1Ref = 365;
constexpr int kTexInsBack2Ref = 366;
constexpr const char* kHardWiredTexPath = "scratch_array:hard-wired textures";

// One slot per reference.
struct ref_dat_struct {
  std::string path = "un-inited";
  int load_type = kTexFreeSlot;
  int ogl_num = 0;  // GL texture name (the reference once loaded); 0 while there is none
  float tex_dx_vis = 0, tex_dy_vis = 0;  // size of the image inside the texture
  float tex_dx_tot = 0, tex_dy_tot = 0;  // size of the texture, powers of two
  int tex_vram = 0;
  int tex_mode = 0;  // GL pixel format
  tex_load_time load_time = tex_load_never;
  int filter_type = 0;
  tex_fail_mode required = tex_fail_quit;
  int ref_count = -1;
};

// One load request.
struct tex_load_vars {
  tex_fail_mode require_tex = tex_fail_quit;
  int load_type = kTexNormal;
  int manual_ref = 0;
  int filter_type = 0;
  int show_init = 0;
  int rgb_type = 0;  // GL pixel format
  unsigned char bytes_per_pix = 0;
  int depth_change_ok = 0;
  int dx_vis = 0, dy_vis = 0, dx_tot = 0, dy_tot = 0;
  std::string path;
  unsigned char* used_buf = nullptr;
};

// Where load_texture_io found the pixels.
enum tex_data_src { tex_src_none = 0, tex_src_buffer = 1, tex_src_png = 2, tex_src_bmp = 3 };

class tman_class {
 public:
  tman_class();

  // The reference of the loaded texture, or 0 when an explicit reference failed (or path is empty).
  int load_texture(tex_fail_mode require_tex, int manual_ref, int filter_type, tex_load_time load_time,
                   const std::string& path);
  // 1 loaded, 0 failed.
  int load_texture_int(tex_fail_mode require_tex, int load_type, int manual_ref, int filter_type,
                       const std::string& path, int show_progress);
  // Finds and decodes the pixels; a tex_data_src.
  int load_texture_io(tex_load_vars* param);
  // 1 when a texture was made (or, without a GL context, recorded).
  int load_texture_ogl(tex_load_vars* param, int data_src);

  // Binds the reference on a texture unit with an environment mode (0 modulate).
  void bind_ref(int ref, int unit = 0, int mode = 0);
  // Forgets the bind cache; needed after anything else binds textures.
  void reset_bind();

  bool has_scene_load_fail() const { return scene_load_fail == status_fail; }
  bool has_plane_load_fail() const { return plane_load_fail == status_fail; }
  bool has_instl_load_fail() const { return instl_load_fail == status_fail; }
  void mute_scene_load_fail() { scene_load_fail = status_mute; }
  void mute_plane_load_fail() { plane_load_fail = status_mute; }
  void mute_instl_load_fail() { instl_load_fail = status_mute; }

  std::string get_path(int ref) const;
  // Loads the four embedded images; the interface atlas is loaded last and stays in scratch_array.
  void recall_ins_texes();

  // True when the reference holds pixels (its own or the fallback's).
  bool is_loaded(int ref) const;

  int lowest_unloaded = 0;
  int loaded_texes_ctr = 0;  // textures given GL memory
  int total_texes_ctr = 0;   // slots taken
  std::vector<ref_dat_struct> ref_dat;
  int o_tex[6];  // name last bound on each texture unit, -1 none
  int o_mod[6];  // environment mode last set on each unit, -1 none
  load_fail_status scene_load_fail = status_okay;
  load_fail_status plane_load_fail = status_okay;
  load_fail_status instl_load_fail = status_okay;
  // Hook of the general texture service for loads finished elsewhere; empty in the installer.
  tex_load_vars* async_load_vars = nullptr;
  int async_load_src = 0;
  void (*async_load_func)(tex_load_vars*, int) = nullptr;

 private:
  void grow_to(int ref);
  int fallback_name();
  const void* cache_context_ = nullptr;  // GL context the bind cache belongs to
  std::vector<int> bind_alerted_;        // references already reported as missing
};
extern tman_class tman;

// Path of a loaded texture -> its reference.
extern std::unordered_map<std::string, int> tex_hash;
// Size in pixels of the image in scratch_array.
extern int scratch_dx, scratch_dy;
// Receives decoded image files.
extern unsigned char* const scratch_array_temp;
// The GL maximum texture size, read before every load.
extern int maxtexdim;

// --- Size and format rules, free of GL ---

// Scale of the screen's texture-resolution setting: 5 -> 1, 4 -> 1/2, ... 0 -> 1/32.
float tex_res_scale(int tex_res);
// Smallest power of two from 1 to 1024 not below visible; a larger visible size is kept.
int tex_pow2_size(int visible);
// Visible and total texture sizes of a width x height image (fatal on invalid sizes).
void get_scale(int load_type, int filter_type, int full_res, int width, int height, int* dx_vis, int* dy_vis,
               int* dx_tot, int* dy_tot, const std::string& path);
// GL format, bytes per pixel and whether the format may follow the file, from bits 0-2 of
// filter_type; format 0 is a programming error and fatal.
void tex_format_of(int filter_type, const std::string& path, int* rgb_type, int* bytes_per_pix,
                   int* depth_change_ok);
// The path with its four-character extension (".xxx") replaced by ext, or ext added.
std::string tex_file_path(const std::string& path, const char* ext);

// Validation: each ends the program with a fatal alert naming path and value when out of range.
void check_off(float value, const std::string& path);
void check_dxy(float value, const std::string& path);
void check_load_type(float value, const std::string& path);
void check_load_time(float value, const std::string& path);
void check_filter_type(float value, const std::string& path);
void check_bytes(float value, const std::string& path);
void check_manual_ref(float value, const std::string& path);
