/* The installer's four embedded images: raw 8-bit RGBA pixels, bottom row first, painted at
   build time by the art generator (tools/art) and pulled in whole. The assembler finds the
   files through the include path that ui/CMakeLists.txt gives it. A file of the wrong size
   stops the build here rather than leaving the program short of pixels. */

#ifdef __ELF__
.macro embedded_image name, file, bytes
  .section .rodata.\name, "a", %progbits
  .balign 16
  .globl \name
  .type \name, %object
  .size \name, \bytes
\name:
#else
/* Windows (PE/COFF): read-only data, no ELF symbol type or size. */
.macro embedded_image name, file, bytes
  .section .rdata, "dr"
  .balign 16
  .globl \name
\name:
#endif
  .incbin "\file"
  .if (. - \name) - \bytes
  .error "embedded image \file does not have the expected size"
  .endif
.endm

embedded_image t_interface_dat, "interface.rgba", 1048576     /* 512 x 512 */
embedded_image t_installer_dat, "installer.rgba", 3086560     /* 1010 x 764 */
embedded_image t_ins_back_1_dat, "ins_back_1.rgba", 3145728   /* 1024 x 768 */
embedded_image t_ins_back_2_dat, "ins_back_2.rgba", 3145728   /* 1024 x 768 */

#ifdef __ELF__
  .section .note.GNU-stack, "", %progbits
#endif
