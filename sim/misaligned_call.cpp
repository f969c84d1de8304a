// The trampoline behind CallPlugin (plugin_call.h): an i386 call made with
// the stack pointer a chosen number of bytes past a 16-byte boundary.
#include "plugin_call.h"

#if defined(__i386__)
// uint32_t kelsim_call_misaligned(const void* function, const uint32_t* words,
//                                 uint32_t count, uint32_t misalignment)
//
// After the frame is set up, the stack pointer is rounded down to 16 bytes
// and lowered by a pad chosen so that, once the arguments are copied below
// it, it stands `misalignment` bytes past a boundary:
//   pad = -(misalignment + 4 * count) mod 16.
// The frame pointer gives the stack back whatever the callee popped.
__asm__(
    ".pushsection .text\n"
    ".globl kelsim_call_misaligned\n"
    ".hidden kelsim_call_misaligned\n"
    ".type kelsim_call_misaligned, @function\n"
    "kelsim_call_misaligned:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 16(%ebp), %ecx\n"       // count
    "  movl 12(%ebp), %esi\n"       // words
    "  movl 20(%ebp), %eax\n"       // misalignment
    "  leal (%eax,%ecx,4), %eax\n"  // misalignment + 4 * count
    "  negl %eax\n"
    "  andl $15, %eax\n"  // pad
    "  andl $-16, %esp\n"
    "  subl %eax, %esp\n"
    "  leal 0(,%ecx,4), %eax\n"
    "  subl %eax, %esp\n"
    "  movl %esp, %edi\n"
    "  cld\n"
    "  rep movsl\n"  // the arguments, first at the lowest address
    "  call *8(%ebp)\n"
    "  leal -8(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebp\n"
    "  ret\n"
    ".size kelsim_call_misaligned, .-kelsim_call_misaligned\n"
    ".popsection\n");
#endif
