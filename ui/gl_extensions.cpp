// Probes the OpenGL implementation once at start-up and tells the user when it will not do.
#include "ui/gl_extensions.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cctype>
#include <string>

#include "core/alert.h"
#include "core/cmdline.h"
#include "core/log.h"
#include "ui/gl_state.h"

OGL_extensions glExt;
multitex_procs multitex;
void* pbuffer_procs[8] = {};

namespace {

constexpr const char* kBufferProcNames[11] = {
    "glBindBufferARB",     "glDeleteBuffersARB", "glGenBuffersARB",           "glIsBufferARB",
    "glBufferDataARB",     "glBufferSubDataARB", "glGetBufferSubDataARB",     "glMapBufferARB",
    "glUnmapBufferARB",    "glGetBufferParameterivARB", "glGetBufferPointervARB"};

constexpr const char* kProgramProcNames[62] = {
    "glVertexAttrib1dARB", "glVertexAttrib1dvARB", "glVertexAttrib1fARB", "glVertexAttrib1fvARB",
    "glVertexAttrib1sARB", "glVertexAttrib1svARB", "glVertexAttrib2dARB", "glVertexAttrib2dvARB",
    "glVertexAttrib2fARB", "glVertexAttrib2fvARB", "glVertexAttrib2sARB", "glVertexAttrib2svARB",
    "glVertexAttrib3dARB", "glVertexAttrib3dvARB", "glVertexAttrib3fARB", "glVertexAttrib3fvARB",
    "glVertexAttrib3sARB", "glVertexAttrib3svARB", "glVertexAttrib4NbvARB", "glVertexAttrib4NivARB",
    "glVertexAttrib4NsvARB", "glVertexAttrib4NubARB", "glVertexAttrib4NubvARB", "glVertexAttrib4NuivARB",
    "glVertexAttrib4NusvARB", "glVertexAttrib4bvARB", "glVertexAttrib4dARB", "glVertexAttrib4dvARB",
    "glVertexAttrib4fARB", "glVertexAttrib4fvARB", "glVertexAttrib4ivARB", "glVertexAttrib4sARB",
    "glVertexAttrib4svARB", "glVertexAttrib4ubvARB", "glVertexAttrib4uivARB", "glVertexAttrib4usvARB",
    "glVertexAttribPointerARB", "glEnableVertexAttribArrayARB", "glDisableVertexAttribArrayARB",
    "glProgramStringARB", "glBindProgramARB", "glDeleteProgramsARB", "glGenProgramsARB",
    "glProgramEnvParameter4dARB", "glProgramEnvParameter4dvARB", "glProgramEnvParameter4fARB",
    "glProgramEnvParameter4fvARB", "glProgramLocalParameter4dARB", "glProgramLocalParameter4dvARB",
    "glProgramLocalParameter4fARB", "glProgramLocalParameter4fvARB", "glGetProgramEnvParameterdvARB",
    "glGetProgramEnvParameterfvARB", "glGetProgramLocalParameterdvARB", "glGetProgramLocalParameterfvARB",
    "glGetProgramivARB", "glGetProgramStringARB", "glGetVertexAttribdvARB", "glGetVertexAttribfvARB",
    "glGetVertexAttribivARB", "glGetVertexAttribPointervARB", "glIsProgramARB"};

constexpr const char* kQueryProcNames[8] = {
    "glGenQueriesARB",  "glDeleteQueriesARB", "glIsQueryARB",          "glBeginQueryARB",
    "glEndQueryARB",    "glGetQueryivARB",    "glGetQueryObjectivARB", "glGetQueryObjectuivARB"};

constexpr const char* kMultiTexCoordNames[32] = {
    "glMultiTexCoord1dARB", "glMultiTexCoord1dvARB", "glMultiTexCoord1fARB", "glMultiTexCoord1fvARB",
    "glMultiTexCoord1iARB", "glMultiTexCoord1ivARB", "glMultiTexCoord1sARB", "glMultiTexCoord1svARB",
    "glMultiTexCoord2dARB", "glMultiTexCoord2dvARB", "glMultiTexCoord2fARB", "glMultiTexCoord2fvARB",
    "glMultiTexCoord2iARB", "glMultiTexCoord2ivARB", "glMultiTexCoord2sARB", "glMultiTexCoord2svARB",
    "glMultiTexCoord3dARB", "glMultiTexCoord3dvARB", "glMultiTexCoord3fARB", "glMultiTexCoord3fvARB",
    "glMultiTexCoord3iARB", "glMultiTexCoord3ivARB", "glMultiTexCoord3sARB", "glMultiTexCoord3svARB",
    "glMultiTexCoord4dARB", "glMultiTexCoord4dvARB", "glMultiTexCoord4fARB", "glMultiTexCoord4fvARB",
    "glMultiTexCoord4iARB", "glMultiTexCoord4ivARB", "glMultiTexCoord4sARB", "glMultiTexCoord4svARB"};

constexpr const char* kPbufferProcNames[8] = {
    "wglCreatePbufferARB",  "wglGetPbufferDCARB",    "wglReleasePbufferDCARB", "wglDestroyPbufferARB",
    "wglQueryPbufferARB",   "wglBindTexImageARB",    "wglReleaseTexImageARB",  "wglSetPbufferAttribARB"};

// Fetches a group of entry points; each missing one is logged and clears the group's flag.
template <int N>
void fetch_group(void* (&procs)[N], const char* const (&names)[N], int& flag) {
  if (!flag) return;
  for (int i = 0; i < N; ++i) {
    procs[i] = gl_proc_address(names[i]);
    if (!procs[i]) {
      xer << "WARNING: extension missing proc " << names[i] << "\n";
      flag = 0;
    }
  }
}

std::string gl_text(GLenum name) {
  const GLubyte* s = glGetString(name);
  return s ? reinterpret_cast<const char*>(s) : "";
}

int gl_int(GLenum name) {
  GLint v = 0;
  glGetIntegerv(name, &v);
  return v;
}

int program_limit(GLenum target, GLenum name) {
  using get_programiv = void (*)(GLenum, GLenum, GLint*);
  auto fn = reinterpret_cast<get_programiv>(glExt.program_procs[55]);  // glGetProgramivARB
  GLint v = 0;
  if (fn) fn(target, name, &v);
  return v;
}

}  // namespace

int gl_version_code(const std::string& version) {
  auto digit = [&](std::size_t k) {
    return k < version.size() && std::isdigit(static_cast<unsigned char>(version[k])) != 0;
  };
  std::size_t i = 0;
  int major = 0;
  while (digit(i) && major < 100) major = major * 10 + (version[i++] - '0');
  if (major < 1 || i >= version.size() || version[i] != '.' || !digit(i + 1)) return 100;
  int minor = version[i + 1] - '0';  // the first digit of the minor number; "3.10" counts as 3.1
  return major * 100 + minor * 10;
}

bool gl_has_extension(const std::string& extensions, const char* name) {
  const std::string target = name;
  std::size_t pos = 0;
  while ((pos = extensions.find(target, pos)) != std::string::npos) {
    bool starts = pos == 0 || extensions[pos - 1] == ' ';
    std::size_t end = pos + target.size();
    bool ends = end == extensions.size() || extensions[end] == ' ';
    if (starts && ends) return true;
    pos = end;
  }
  return false;
}

void gl_flags_from(OGL_extensions& ext, int version_code, const std::string& extensions) {
  auto flag = [&](int core_from, const char* a, const char* b = nullptr) {
    if (core_from > 0 && version_code >= core_from) return 1;
    return (gl_has_extension(extensions, a) || (b && gl_has_extension(extensions, b))) ? 1 : 0;
  };
  ext.version_code = version_code;
  ext.multitex_avail = flag(130, "GL_ARB_multitexture");
  ext.tex_clamp_avail = flag(120, "GL_EXT_texture_edge_clamp", "GL_SGIS_texture_edge_clamp");
  ext.add_env_avail = flag(130, "GL_ARB_texture_env_add", "GL_EXT_texture_env_add");
  ext.combine_avail = flag(130, "GL_ARB_texture_env_combine", "GL_EXT_texture_env_combine");
  ext.dis_fog_avail = flag(0, "GL_NV_fog_distance");
  ext.tex_comp_avail = flag(130, "GL_ARB_texture_compression");
  ext.vbo_avail = flag(150, "GL_ARB_vertex_buffer_object");
  ext.vshader_avail = flag(0, "GL_ARB_vertex_program");
  ext.fshader_avail = flag(0, "GL_ARB_fragment_program");
  ext.automini_avail = flag(140, "GL_SGIS_generate_mipmap");
  ext.aniso_avail = flag(0, "GL_EXT_texture_filter_anisotropic");
  ext.fsaa_avail = flag(130, "GL_ARB_multisample");
  ext.sprites_avail = flag(200, "GL_ARB_point_sprite");
  ext.depth_tex_avail = flag(140, "GL_ARB_depth_texture");
  ext.occlude_avail = flag(0, "GL_ARB_occlusion_query");
}

void gl_check_hardware(int version_code, int multitex_avail, const std::string& renderer) {
  if (!multitex_avail || version_code < 110)
    MACIBM_alert(0,
                 "Your graphics hardware cannot support Zephra. Zephra requires a graphics card with 16 MB of VRAM "
                 "and multitexuring.",
                 "First, try updating your graphics drivers.",
                 "If this does not help, check your graphics card specifications.",
                 "If you are still stuck, write to us through the support page of our web site.", alert_fatal);
  for (const char* generic : {"GENERIC", "Generic", "generic", "Mesa GLX Indirect"}) {
    if (renderer.find(generic) == std::string::npos) continue;
    MACIBM_alert(0,
                 "I can not find a 3-D accelerator card that can handle OpenGL that has correctly installed drivers.",
                 "I will still let you run the simulator, but the frame rate will NOT allow for a good simulation.",
                 "For you to fly realistically, you must use Zephra version Classic, or get a 3-D accelerator card "
                 "that can handle OpenGL.",
                 "Our web site has a list of graphics cards that work well with Zephra.", alert_error);
    break;
  }
}

void OGL_extensions::init_extensions() {
  ren.cVEND = gl_text(GL_VENDOR);
  ren.cREND = gl_text(GL_RENDERER);
  ren.cVERS = gl_text(GL_VERSION);
  ren.cEXTE = gl_text(GL_EXTENSIONS);

  gl_flags_from(*this, gl_version_code(ren.cVERS), ren.cEXTE);

  if (vbo_avail && ren.cVEND == "Intel" && !cmdline.has_option("--use_vbos")) {
    xer << "Disabling VBOs for Intel hardware.\n";
    vbo_avail = 0;
  }

  // The entry points come before the limits, which are read through them.
  multitex.glActiveTextureARB = reinterpret_cast<void (*)(unsigned int)>(gl_proc_address("glActiveTextureARB"));
  multitex.glClientActiveTextureARB =
      reinterpret_cast<void (*)(unsigned int)>(gl_proc_address("glClientActiveTextureARB"));
  for (int i = 0; i < 32; ++i) multitex.glMultiTexCoordARB[i] = gl_proc_address(kMultiTexCoordNames[i]);
  if (!multitex.glActiveTextureARB) multitex_avail = 0;
  fetch_group(buffer_procs, kBufferProcNames, vbo_avail);
  fetch_group(program_procs, kProgramProcNames, vshader_avail);
  fetch_group(query_procs, kQueryProcNames, occlude_avail);
  pbuffer_avail = 1;
  for (int i = 0; i < 8; ++i) {
    pbuffer_procs[i] = gl_proc_address(kPbufferProcNames[i]);
    if (!pbuffer_procs[i]) pbuffer_avail = 0;
  }
  if (fshader_avail && !vshader_avail) fshader_avail = 0;

  if (cmdline.has_option("--no_vbos")) vbo_avail = 0;
  if (cmdline.has_option("--no_sprites")) sprites_avail = 0;

  ren.num_tex_units = multitex_avail ? gl_int(GL_MAX_TEXTURE_UNITS_ARB) : 1;
  if (ren.num_tex_units < 1) ren.num_tex_units = 1;
  ren.num_img_units = fshader_avail ? gl_int(GL_MAX_TEXTURE_IMAGE_UNITS_ARB) : ren.num_tex_units;
  ren.num_cor_units = vshader_avail ? gl_int(GL_MAX_TEXTURE_COORDS_ARB) : ren.num_tex_units;
  ren.max_iso = 1.0f;
  if (aniso_avail) {
    GLfloat iso = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &iso);
    ren.max_iso = iso;
  }
  int max_tex_size = gl_int(GL_MAX_TEXTURE_SIZE);
  GLfloat point_range[2] = {0, 0};
  glGetFloatv(GL_POINT_SIZE_RANGE, point_range);

  xer << "OpenGL Situation :\n";
  xer << "OpenGL Vendor    :" << ren.cVEND << "\n";
  xer << "OpenGL Render    :" << ren.cREND << "\n";
  xer << "OpenGL Version   :" << ren.cVERS << "\n";
  xer << "OpenGL Extensions:" << ren.cEXTE << "\n";
  xer << "tex_clamp_avail=" << tex_clamp_avail << "\n";
  xer << "add_env_avail  =" << add_env_avail << "\n";
  xer << "combine_avail  =" << combine_avail << "\n";
  xer << "dis_fog_avail  =" << dis_fog_avail << "\n";
  xer << "tex_comp_avail =" << tex_comp_avail << "\n";
  xer << "vbo_avail      =" << vbo_avail << "\n";
  xer << "pbuffer_avail  =" << pbuffer_avail << "\n";
  xer << "vshader_avail  =" << vshader_avail << " ("
      << (vshader_avail ? program_limit(GL_VERTEX_PROGRAM_ARB, GL_MAX_PROGRAM_INSTRUCTIONS_ARB) : 0) << ")\n";
  xer << "fshader_avail  =" << fshader_avail << " (";
  if (fshader_avail)
    xer << program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_INSTRUCTIONS_ARB) << "/"
        << program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_ALU_INSTRUCTIONS_ARB) << "/"
        << program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_TEX_INSTRUCTIONS_ARB) << "/"
        << program_limit(GL_FRAGMENT_PROGRAM_ARB, GL_MAX_PROGRAM_TEX_INDIRECTIONS_ARB);
  else
    xer << "0/0/0/0";
  xer << ")\n";
  xer << "automini_avail =" << automini_avail << "\n";
  xer << "aniso_avail    =" << aniso_avail << "\n";
  xer << "fsaa_avail     =" << fsaa_avail << "\n";
  xer << "sprites_avail  =" << sprites_avail << "\n";
  xer << "depth_tex_avail=" << depth_tex_avail << "\n";
  xer << "occlude_avail  =" << occlude_avail << "\n";
  xer << "max tex units    :" << ren.num_tex_units << " " << ren.num_img_units << " " << ren.num_cor_units << "\n";
  xer << "max iso filtering:" << ren.max_iso << "\n";
  xer << "max texture size :" << max_tex_size << "\n";
  xer << "max pbuffer_avail:" << pbuffer_avail << "\n";
  xer << "max point size   :" << point_range[0] << " " << point_range[1] << "\n";
  xer.flush();

  // A context made elsewhere may have left units on; the state cache reads them afresh.
  OGL_forget_state();
  gl_check_hardware(version_code, multitex_avail, ren.cREND);
}
