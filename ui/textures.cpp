#include "ui/textures.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "files/xmap.h"
#include "ui/embedded_images.h"
#include "ui/gl_extensions.h"
#include "ui/gl_state.h"
#include "ui/image_bmp.h"
#include "ui/image_png.h"
#include "ui/palette.h"
#include "ui/window_state.h"

tman_class tman;
std::unordered_map<std::string, int> tex_hash;
int scratch_dx = 0, scratch_dy = 0;
int maxtexdim = kTexMaxDim;

namespace {

alignas(16) unsigned char scratch_temp_block[kTexTempBytes];

bool has_context() { return mnw.context[0] != nullptr; }

// Fatal alert of the manager: the program ends here.
void tman_fatal(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
                int line) {
  __MACIBM_alert(0, l1, l2, l3, l4, alert_fatal, "tman", line);
}

std::string value_text(const char* label, float value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%1.0f", double(value));
  return std::string(label) + buf;
}

void check_range(float value, float lo, float hi, const char* message, const std::string& path, int line) {
  if (!(value >= lo && value <= hi)) tman_fatal(message, path, value_text("value:", value), "", line);
}

bool is_pow2(int v) { return v > 0 && (v & (v - 1)) == 0; }

bool nearest_filtered(int ref) {
  switch (ref) {
    case 363: case 382: case 383: case 388: case 393: case 394: return true;
    case 389: return mnw.xy_scale_now < 1.01f;
    default: return false;
  }
}

// Shrinks w x h pixels to dx x dy in place by nearest sampling (dx <= w, dy <= h).
void shrink_in_place(unsigned char* buf, int w, int h, int bytes, int dx, int dy) {
  for (int y = 0; y < dy; ++y) {
    int sy = int((2LL * y + 1) * h / (2LL * dy));
    for (int x = 0; x < dx; ++x) {
      int sx = int((2LL * x + 1) * w / (2LL * dx));
      std::memmove(buf + (std::size_t(y) * dx + x) * bytes, buf + (std::size_t(sy) * w + sx) * bytes, bytes);
    }
  }
}

}  // namespace

unsigned char* const scratch_array_temp = scratch_temp_block;

// --- Size and format rules ---

float tex_res_scale(int tex_res) { return 1.0f / float(1 << (5 - std::clamp(tex_res, 0, 5))); }

int tex_pow2_size(int visible) {
  if (visible > kTexMaxDim) return visible;
  int size = 1;
  while (size < visible) size *= 2;
  return size;
}

void get_scale(int load_type, int filter_type, int full_res, int width, int height, int* dx_vis, int* dy_vis,
               int* dx_tot, int* dy_tot, const std::string& path) {
  check_dxy(float(width), path);
  check_dxy(float(height), path);
  float scale = load_type == kTexNormal ? tex_res_scale(mnw.tex_res) : 1.0f;
  if (filter_type & tex_flag_double_res) scale = std::clamp(scale * 2.0f, 0.0f, 1.0f);
  if (filter_type & tex_flag_half_res) scale = std::clamp(scale * 0.5f, 0.0f, 1.0f);
  if ((filter_type & tex_flag_full_res) || full_res) scale = 1.0f;
  scale = std::max({scale, 1.0f / float(width), 1.0f / float(height)});
  if (maxtexdim > 0)
    while (float(width) * scale > float(maxtexdim) || float(height) * scale > float(maxtexdim)) scale *= 0.5f;
  *dx_vis = int(std::lround(float(width) * scale));
  *dy_vis = int(std::lround(float(height) * scale));
  *dx_tot = tex_pow2_size(*dx_vis);
  *dy_tot = tex_pow2_size(*dy_vis);
  for (int v : {*dx_vis, *dy_vis, *dx_tot, *dy_tot}) check_dxy(float(v), path);
  check_off(0, path);
  check_off(0, path);
}

void tex_format_of(int filter_type, const std::string& path, int* rgb_type, int* bytes_per_pix,
                   int* depth_change_ok) {
  *depth_change_ok = 0;
  switch (filter_type & 7) {
    case 0:
      tman_fatal("BAD color enum for tman - see tman for valid colors!  We cannot pass 0.", path,
                 value_text("value:", float(filter_type)), "", __LINE__);
      break;
    case 2: *rgb_type = GL_RGBA; *bytes_per_pix = 4; break;
    case 3: *rgb_type = GL_ALPHA; *bytes_per_pix = 1; break;
    case 4: *rgb_type = GL_RGB; *bytes_per_pix = 3; *depth_change_ok = 1; break;
    case 5: *rgb_type = GL_RGBA; *bytes_per_pix = 4; *depth_change_ok = 1; break;
    case 6: *rgb_type = GL_RED; *bytes_per_pix = 1; break;
    default: *rgb_type = GL_RGB; *bytes_per_pix = 3; break;  // 1 and 7
  }
}

std::string tex_file_path(const std::string& path, const char* ext) {
  if (path.size() >= 4 && path[path.size() - 4] == '.') return path.substr(0, path.size() - 4) + ext;
  return path + ext;
}

void check_off(float v, const std::string& p) {
  check_range(v, -1024, 1024, "Trying to offset a texture either less than -1024 or greater than 1024!", p, __LINE__);
}
void check_dxy(float v, const std::string& p) {
  check_range(v, 1, 1024, "Trying to create a texture either less than 1 or greater than 1024!", p, __LINE__);
}
void check_load_type(float v, const std::string& p) {
  check_range(v, -104, -100, "Trying to create an invalid texture load_type!", p, __LINE__);
}
void check_load_time(float v, const std::string& p) {
  check_range(v, 100, 102, "Trying to create an invalid texture load_time!", p, __LINE__);
}
void check_filter_type(float v, const std::string& p) {
  check_range(v, 0, 2047, "Trying to bind an invalid filter type!", p, __LINE__);
}
void check_bytes(float v, const std::string& p) {
  check_range(v, 1, 4, "Trying to bind too low or high a number of bytes!", p, __LINE__);
}
void check_manual_ref(float v, const std::string& p) {
  check_range(v, 0, 3374, "Trying to bind too low or high a manual_ref!", p, __LINE__);
}

// --- The manager ---

tman_class::tman_class() {
  std::fill(std::begin(o_tex), std::end(o_tex), -1);
  std::fill(std::begin(o_mod), std::end(o_mod), -1);
}

void tman_class::grow_to(int ref) {
  if (ref >= int(ref_dat.size())) ref_dat.resize(std::size_t(ref) + 1);
}

bool tman_class::is_loaded(int ref) const {
  return ref > 0 && ref < int(ref_dat.size()) && ref_dat[ref].load_time == tex_load_now && ref_dat[ref].ogl_num != 0;
}

std::string tman_class::get_path(int ref) const {
  if (ref < 0 || ref >= int(ref_dat.size())) return "un-inited";
  return ref_dat[ref].path;
}

// The GL name of the fallback texture, a single white texel made on first use; 0 without GL.
int tman_class::fallback_name() {
  grow_to(kTexFallbackRef);
  ref_dat_struct& s = ref_dat[kTexFallbackRef];
  if (s.load_type == kTexFreeSlot) {
    s.path = "fallback texture";
    s.load_type = kTexNormal;
    s.load_time = tex_load_now;
    s.filter_type = 2;
    s.required = tex_fail_ignore;
    s.tex_mode = GL_RGBA;
    s.tex_dx_vis = s.tex_dy_vis = s.tex_dx_tot = s.tex_dy_tot = 1;
    ++total_texes_ctr;
  }
  if (s.ogl_num == 0 && has_context()) {
    const unsigned char white[4] = {255, 255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, kTexFallbackRef);
    o_tex[0] = kTexFallbackRef;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    s.ogl_num = kTexFallbackRef;
    s.tex_vram = 4;
    ++loaded_texes_ctr;
  }
  return s.ogl_num;
}

int tman_class::load_texture(tex_fail_mode require_tex, int manual_ref, int filter_type, tex_load_time load_time,
                             const std::string& path) {
  if (path.empty()) return 0;
  check_load_time(float(load_time), path);
  check_manual_ref(float(manual_ref), path);

  if (!manual_ref) {
    auto it = tex_hash.find(path);
    if (it != tex_hash.end()) {
      int slot = it->second;
      if (ref_dat[slot].load_time != tex_load_now) load_texture_int(require_tex, kTexNormal, slot, filter_type, path, 1);
      return slot;
    }
  }

  int slot = manual_ref;
  if (!slot) {
    for (int i = int(ref_dat.size()) - 1; i >= kTexFirstAutoRef; --i)
      if (ref_dat[i].load_type == kTexFreeSlot) {
        slot = i;
        break;
      }
    if (!slot) slot = std::max(int(ref_dat.size()), kTexFirstAutoRef);
  }
  grow_to(slot);
  ref_dat_struct& s = ref_dat[slot];
  auto old = tex_hash.find(s.path);
  if (old != tex_hash.end() && old->second == slot) tex_hash.erase(old);
  tex_hash[path] = slot;

  if (s.load_type == kTexFreeSlot) {
    s.tex_mode = GL_RGBA;
    ++total_texes_ctr;
  }
  s.path = path;
  s.load_type = kTexNormal;
  s.ref_count = -1;
  s.filter_type = filter_type;
  s.required = require_tex;
  // Textures for later are only recorded; a later load of the same path brings them in.
  if (load_time != tex_load_now) {
    s.load_time = load_time;
    return slot;
  }
  s.load_time = tex_load_now;

  int ok = load_texture_int(require_tex, kTexNormal, slot, filter_type, path, 1);
  if (manual_ref && !ok) return 0;
  return slot;
}

int tman_class::load_texture_int(tex_fail_mode require_tex, int load_type, int manual_ref, int filter_type,
                                 const std::string& path, int show_progress) {
  check_load_type(float(load_type), path);
  check_filter_type(float(filter_type), path);
  if (has_context()) {
    if (cache_context_ != mnw.context[0]) {
      reset_bind();
      cache_context_ = mnw.context[0];
    }
    GLint max_size = kTexMaxDim;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    maxtexdim = max_size;
  } else {
    maxtexdim = kTexMaxDim;
  }
  tex_load_vars v;
  v.require_tex = require_tex;
  v.load_type = load_type;
  v.manual_ref = manual_ref;
  v.filter_type = filter_type;
  v.show_init = show_progress;
  v.path = path;
  int src = load_texture_io(&v);
  return load_texture_ogl(&v, src);
}

int tman_class::load_texture_io(tex_load_vars* param) {
  tex_load_vars& v = *param;
  int rgb_type = 0, bytes = 0, depth_change_ok = 0;
  tex_format_of(v.filter_type, v.path, &rgb_type, &bytes, &depth_change_ok);
  check_bytes(float(bytes), v.path);
  v.rgb_type = rgb_type;
  v.bytes_per_pix = static_cast<unsigned char>(bytes);
  v.depth_change_ok = depth_change_ok;

  if (v.path.compare(0, 13, "scratch_array") == 0) {
    check_dxy(float(scratch_dx), v.path);
    check_dxy(float(scratch_dy), v.path);
    get_scale(v.load_type, v.filter_type, 1, scratch_dx, scratch_dy, &v.dx_vis, &v.dy_vis, &v.dx_tot, &v.dy_tot,
              v.path);
    v.used_buf = scratch_array;
    return tex_src_buffer;
  }

  bool to_scratch = (v.filter_type & tex_flag_use_scratch) != 0;
  unsigned char* buf = to_scratch ? scratch_array : scratch_array_temp;
  std::size_t capacity = to_scratch ? std::size_t(kScratchBytes) : kTexTempBytes;

  png_image_info png;
  int r = read_png_file(tex_file_path(v.path, ".png"), v.path, bytes, depth_change_ok, kTexMaxDim, buf, capacity,
                        &png);
  if (r == png_read_ok) {
    if ((v.filter_type & tex_flag_key_color) && png.bytes_per_pix == 4)
      png_key_color_alpha(buf, std::size_t(png.width) * png.height);
    get_scale(v.load_type, v.filter_type, 0, png.width, png.height, &v.dx_vis, &v.dy_vis, &v.dx_tot, &v.dy_tot,
              v.path);
    if (v.dx_vis < png.width || v.dy_vis < png.height)
      shrink_in_place(buf, png.width, png.height, png.bytes_per_pix, v.dx_vis, v.dy_vis);
    v.bytes_per_pix = static_cast<unsigned char>(png.bytes_per_pix);
    v.used_buf = buf;
    return tex_src_png;
  }
  if (r == png_read_too_big) {
    check_dxy(float(png.width), v.path);
    check_dxy(float(png.height), v.path);
  }
  if (r != png_read_missing) tman_fatal("PING-FILE ERROR!", png_read_failure_text(r), v.path, "", __LINE__);

  xmap_class bmp_file;
  if (bmp_file.retry(tex_file_path(v.path, ".bmp")) || bmp_file.mZeroLength) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bmp_file.mBegin);
    bmp_header_info bmp;
    switch (read_bmp_header(data, data ? bmp_file.mFileMapping : 0, &bmp)) {
      case bmp_read_wrong_depth:
        tman_fatal("Wrong bitmap color depth for texture!", "We need 24-bit color.", v.path, "", __LINE__);
        break;
      case bmp_read_compressed:
        tman_fatal("Bitmap is compressed!", v.path, "", "", __LINE__);
        break;
      case bmp_read_damaged:
        tman_fatal("This bitmap file is damaged or cut short!", v.path, "", "", __LINE__);
        break;
      default:
        break;
    }
    check_dxy(float(bmp.width), v.path);
    check_dxy(float(bmp.height), v.path);
    get_scale(v.load_type, v.filter_type, 0, bmp.width, bmp.height, &v.dx_vis, &v.dy_vis, &v.dx_tot, &v.dy_tot,
              v.path);
    sample_bmp(data, bmp, v.dx_vis, v.dy_vis, bytes, colr.win_gamma, buf);
    v.used_buf = buf;
    return tex_src_bmp;
  }
  return tex_src_none;
}

int tman_class::load_texture_ogl(tex_load_vars* param, int data_src) {
  tex_load_vars& v = *param;
  const int ref = v.manual_ref;

  if (data_src == tex_src_none) {
    if (v.load_type == kTexNormal && ref > 0) {
      fallback_name();
      grow_to(ref);
      const ref_dat_struct& f = ref_dat[kTexFallbackRef];
      ref_dat_struct& s = ref_dat[ref];
      s.ogl_num = f.ogl_num;
      s.tex_dx_vis = f.tex_dx_vis;
      s.tex_dy_vis = f.tex_dy_vis;
      s.tex_dx_tot = f.tex_dx_tot;
      s.tex_dy_tot = f.tex_dy_tot;
      s.load_time = tex_load_now;
    }
    if (v.require_tex == tex_fail_ignore) return 0;
    xer << "WARNING: we are missing the texture: " << v.path << ".\n";
    load_fail_status* flag = v.require_tex == tex_fail_warn_scene   ? &scene_load_fail
                             : v.require_tex == tex_fail_warn_plane ? &plane_load_fail
                             : v.require_tex == tex_fail_warn_install ? &instl_load_fail
                                                                      : nullptr;
    if (flag && *flag == status_okay) *flag = status_fail;
    if (v.require_tex == tex_fail_quit)
      tman_fatal("Trying to load a texture that you do not have!", "This smacks of a mis-installed copy of Zephra!",
                 "Please get a fresh download of Zephra from our web site.  The missing file is:", v.path, __LINE__);
    return 0;
  }

  if (ref == 0) {
    char line[64];
    std::snprintf(line, sizeof line, "ref=%6.0f, tex=%6.0f", double(ref), double(ref));
    tman_fatal("Trying to bind a null ref!", line, v.path, "", __LINE__);
    tman_fatal("Trying to bind a null tex!", line, v.path, "", __LINE__);
  }

  int format = v.rgb_type;
  if (v.depth_change_ok) format = v.bytes_per_pix == 4 ? GL_RGBA : v.bytes_per_pix == 3 ? GL_RGB : format;
  if (!is_pow2(v.dx_tot) || !is_pow2(v.dy_tot))
    tman_fatal("load_tex: Trying to read a texture that is not a power of 2!", v.path,
               value_text("value:", float(is_pow2(v.dx_tot) ? v.dy_tot : v.dx_tot)), "", __LINE__);
  const bool mipmap = (v.filter_type & tex_flag_mipmap) != 0;
  const int bytes = v.bytes_per_pix;

  grow_to(ref);
  ref_dat_struct& s = ref_dat[ref];
  const bool gl = has_context();
  const bool had_memory = s.tex_vram > 0;
  const bool replace_in_place = gl && s.ogl_num == ref && s.load_type == v.load_type && s.tex_mode == format &&
                                int(s.tex_dx_tot) == v.dx_tot && int(s.tex_dy_tot) == v.dy_tot &&
                                (!mipmap || glExt.automini_avail);

  if (gl) {
    // The image sits in the lower left corner of the texture; the rest is transparent black.
    const unsigned char* pixels = v.used_buf;
    std::vector<unsigned char> padded;
    if (v.dx_vis != v.dx_tot || v.dy_vis != v.dy_tot) {
      padded.assign(std::size_t(v.dx_tot) * v.dy_tot * bytes, 0);
      for (int y = 0; y < v.dy_vis; ++y)
        std::memcpy(&padded[std::size_t(y) * v.dx_tot * bytes], v.used_buf + std::size_t(y) * v.dx_vis * bytes,
                    std::size_t(v.dx_vis) * bytes);
      pixels = padded.data();
    }
    GLint old_alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &old_alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, ref);
    o_tex[0] = ref;

    GLint wrap = (v.filter_type & tex_flag_repeat) ? GL_REPEAT : glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    bool nearest = nearest_filtered(ref);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    nearest ? (mipmap ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST)
                            : (mipmap ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR));
    if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    if (mipmap && glExt.automini_avail) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);

    GLenum upload_format = GLenum(format);
    GLint internal = format;
    bool colour16 = mnw.col_res_now == 16;
    if (format == GL_RED) {
      upload_format = GL_DEPTH_COMPONENT;
      internal = GL_DEPTH_COMPONENT32;
    } else if (format == GL_RGB && colour16) {
      internal = GL_RGB16;
    } else if (format == GL_RGBA && colour16 && ref == 380) {
      internal = GL_RGBA16;
    }
    if (replace_in_place)
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, v.dx_tot, v.dy_tot, upload_format, GL_UNSIGNED_BYTE, pixels);
    else if (mipmap && !glExt.automini_avail)
      gluBuild2DMipmaps(GL_TEXTURE_2D, internal, v.dx_tot, v.dy_tot, upload_format, GL_UNSIGNED_BYTE, pixels);
    else
      glTexImage2D(GL_TEXTURE_2D, 0, internal, v.dx_tot, v.dy_tot, 0, upload_format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, old_alignment);
  }

  s.load_type = v.load_type;
  s.load_time = tex_load_now;
  // Without a GL context the slot is recorded with its sizes but owns no GL texture.
  s.ogl_num = gl ? ref : 0;
  s.tex_dx_vis = float(v.dx_vis);
  s.tex_dy_vis = float(v.dy_vis);
  s.tex_dx_tot = float(v.dx_tot);
  s.tex_dy_tot = float(v.dy_tot);
  s.tex_mode = format;
  s.filter_type = v.filter_type;
  s.tex_vram = gl ? int(float(v.dx_tot) * float(v.dy_tot) * float(bytes) * (mipmap ? 1.4f : 1.0f)) : 0;
  if (gl && !had_memory) ++loaded_texes_ctr;
  return 1;
}

void tman_class::reset_bind() {
  std::fill(std::begin(o_tex), std::end(o_tex), -1);
  std::fill(std::begin(o_mod), std::end(o_mod), -1);
}

void tman_class::bind_ref(int ref, int unit, int mode) {
  if (!has_context()) return;
  // A new context knows nothing of what the old one had bound.
  if (cache_context_ != mnw.context[0]) {
    reset_bind();
    cache_context_ = mnw.context[0];
  }
  if (unit < 0 || unit >= std::min(ren.num_tex_units, 6)) return;
  // Units above 0 are reached through the probed entry point: the Windows GL library exports only 1.1.
  if (unit > 0 && !multitex.glActiveTextureARB) return;

  int name;
  if (is_loaded(ref)) {
    name = ref_dat[ref].ogl_num;
  } else {
    name = fallback_name();
    bool scenery = ref >= 0 && ref < int(ref_dat.size()) && ref_dat[ref].load_time == tex_load_scenery;
    // Told once per reference: an alert every frame would never let the user go on.
    if (!scenery && std::find(bind_alerted_.begin(), bind_alerted_.end(), ref) == bind_alerted_.end()) {
      bind_alerted_.push_back(ref);
      MACIBM_alert(0, "missing non-scenery texture - how?", get_path(ref), "", "", alert_error);
    }
  }
  if (name == o_tex[unit] && mode == o_mod[unit]) return;

  if (unit > 0) multitex.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  if (name != o_tex[unit]) {
    glBindTexture(GL_TEXTURE_2D, name);
    o_tex[unit] = name;
  }
  if (mode != o_mod[unit]) {
    // Mode 0 modulates; the combiner recipes of the other modes belong to the simulator's
    // drawing, so here 1 replaces and every other mode modulates.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode == 1 ? GL_REPLACE : GL_MODULATE);
    o_mod[unit] = mode;
  }
  if (unit > 0) multitex.glActiveTextureARB(GL_TEXTURE0_ARB);
}

void tman_class::recall_ins_texes() {
  struct embedded {
    const unsigned char* pixels;
    std::size_t bytes;
    int dx, dy, ref, filter_type;
  };
  // The atlas comes last so that scratch_array still holds it afterwards for the palette.
  const embedded images[] = {
      {t_installer_dat, kInstallerBytes, kInstallerDx, kInstallerDy, kTexInstallerRef, 642},
      {t_ins_back_1_dat, kInsBack1Bytes, kInsBackDx, kInsBackDy, kTexInsBack1Ref, 642},
      {t_ins_back_2_dat, kInsBack2Bytes, kInsBackDx, kInsBackDy, kTexInsBack2Ref, 642},
      {t_interface_dat, kInterfaceBytes, kInterfaceDx, kInterfaceDy, kTexInterfaceRef, 2},
  };
  for (const embedded& e : images) {
    scratch_dx = e.dx;
    scratch_dy = e.dy;
    std::memcpy(scratch_array, e.pixels, e.bytes);
    load_texture(tex_fail_quit, e.ref, e.filter_type, tex_load_now, kHardWiredTexPath);
  }
}
