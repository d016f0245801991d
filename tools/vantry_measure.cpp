// vantry-measure: the workspace's handlers on the scripted host, from the command line, so that
// batch checks print the same numbers the windows show.
#include "measure_cli.h"
#include "measure_convert.h"
#include "measure_iec.h"
#include "beam_qualities.h"
#include "dqe.h"
#include "esf.h"
#include "form_load.h"
#include "image_opening.h"
#include "lsf.h"
#include "magnification.h"
#include "mtf.h"
#include "mtf_chart.h"
#include "nnps.h"
#include "nnps_chart.h"
#include "output_file.h"
#include "png_writer.h"
#include "precise_mtf_menu.h"
#include "preset_list.h"
#include "roi_statistics.h"
#include "settings.h"
#include "size_controls.h"
#include "svg_writer.h"
#include "transforms.h"
#include "vylsf.h"
#include "window_controls.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "numtext.h"
#include "program_folder.h"
#include "scripted_host.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace vantry;
using namespace vantry::cli;

const char* const vantry::cli::kUsage =
    "usage: vantry-measure read FILE --preset NAME [--list PATH] [--to-log G] [--to-linear F]\n"
    "                           [--linear-adj] [--dump OUT]\n"
    "       vantry-measure view FILE --preset NAME [--list PATH] [--pane WxH] [--ww W] [--wl L]\n"
    "                           [--negative] [--fit | --mag M | --p100 X,Y] [--flip K]... [--png OUT]\n"
    "       vantry-measure roi FILE --preset NAME [--list PATH] --roi X,Y,W,H [--back X,Y,W,H]\n"
    "       vantry-measure mtf FILE --preset NAME [--list PATH] --roi X,Y,W,H [--binw B] [--shift S]\n"
    "                           [--vfilter 0|1] [--fmax F] [--fint F] [--data-no D] [--svg OUT]\n"
    "       vantry-measure mtf FILE --preset NAME [--list PATH] --roi X,Y,W,H --method precise\n"
    "                           [--fmax F] [--fint F] [--data-no D] [--svg OUT]\n"
    "       vantry-measure nnps FILE [FILE ...] --preset NAME [--list PATH] --roi X,Y,W,H\n"
    "                           [--mode 2d|1d-h|1d-v|nps] [--lines N] [--nfmax F] [--nfint F]\n"
    "                           [--data-no D] [--svg OUT]\n"
    "       vantry-measure dqe --edge FILE --edge-roi X,Y,W,H --flat FILE [--flat FILE ...]\n"
    "                           --flat-roi X,Y,W,H --preset NAME [--list PATH] --kerma K\n"
    "                           --beam NAME [--edition 2015|2003] [--q Q] [--mode 2d|1d-h|1d-v]\n"
    "                           [--lines N] [--vfilter 0|1] [--nfmax F] [--nfint F] [--svg OUT]\n"
    "       vantry-measure convert --preset NAME [--list PATH] --roi X,Y,W,H --flat FILE --kerma K\n"
    "                           [--flat FILE --kerma K ...] [--model linear|log]\n"
    "       vantry-measure nnps FILE [FILE ...] --method iec --preset NAME [--list PATH]\n"
    "                           [--roi X,Y,W,H] [--conversion linear:S,I|log:S,I]\n"
    "                           [--nfmax F] [--nfint F]\n"
    "       vantry-measure dqe --method iec --edge-h FILE --edge-h-roi X,Y,W,H --edge-v FILE\n"
    "                           --edge-v-roi X,Y,W,H --flat FILE [--flat FILE ...]\n"
    "                           [--flat-roi X,Y,W,H] --preset NAME [--list PATH] --beam NAME\n"
    "                           [--edition 2015|2003] [--q Q] --kerma K\n"
    "                           [--conversion linear:S,I|log:S,I] [--nfmax F] [--nfint F]\n"
    "                           [--report OUT.pdf]\n"
    "       vantry-measure --help | --version | COMMAND --help\n"
    "\n"
    "read     reads FILE into view 0 as the Read button does and prints the view's image:\n"
    "         width, height, offset (byte of the first pixel), pitch (mm), encoding, and the\n"
    "         min, max and mean of its pixels, one per line; then where the pitch came from\n"
    "         (pitch_from preset, imager-pixel-spacing or pixel-spacing: a DICOM entry with a\n"
    "         pitch of 0 takes it from the file). For a DICOM file also: elements walk (the\n"
    "         data set was walked to its Pixel Data) or search (the element search read it;\n"
    "         walk_stop says why the walk stopped), transfer_syntax (UID, or none), frames\n"
    "         (the first is read), pixel_representation (0 unsigned, 1 signed), and the\n"
    "         file's imager_pixel_spacing and pixel_spacing as written (row\\column, mm),\n"
    "         rescale_slope, rescale_intercept and presentation_intent as written (a FOR\n"
    "         PRESENTATION image gets a warning line: measurements want FOR PROCESSING);\n"
    "         a value the file lacks is printed as absent.\n"
    "\n"
    "  --preset NAME    the first entry of the detector list whose name field is NAME, chosen as\n"
    "                   in the preset list of the window (required)\n"
    "  --list PATH      the detector list to use instead of VYLIST.TXT beside the program\n"
    "  --to-log G       convert a linear image to log: pixel = G x log10(pixel) (\"to Log: factor\")\n"
    "  --to-linear F    the factor F for log-to-linear conversion of a log preset and for the\n"
    "                   linear adjustment (\"To linear: factor\", default 5.0); G and F must be\n"
    "                   positive finite decimal numbers\n"
    "  --linear-adj     divide a linear image by that factor (\"Linear adj\")\n"
    "  --dump OUT       write the view's image to OUT as little-endian Int16, row after row\n"
    "\n"
    "view     reads FILE as read does, into a picture pane of the given size, then applies in this\n"
    "         order the window, the polarity, the transforms and the magnification, and prints the\n"
    "         window caption, the bitmap size (bmp W H), its offset in the pane (offset OX OY) and\n"
    "         the image pixels per pane pixel (pxs).\n"
    "\n"
    "  --pane WxH       inner size of the picture pane in pixels (default 1000x800)\n"
    "  --ww W, --wl L   window width (positive) and level, whole numbers, as typed into the\n"
    "                   boxes and applied; one the boxes cannot hold (16 bits) exits with 3\n"
    "  --negative       negative display (\"Posi\" unchecked)\n"
    "  --fit            the whole image (\"Fit\"); the default after reading\n"
    "  --mag M          magnification 1, 1.5, 2, ... 6, as the scroll bar sets it\n"
    "  --p100 X,Y       one image pixel per pane pixel, centred on image pixel X,Y (\"100%\")\n"
    "  --flip K         \"Mirror Flip\" answered with K: 0 mirror, 1 flip, 2 rotate, 3 mark; repeatable\n"
    "  --png OUT        write the whole pane as shown (without the ROI shapes) as a grey PNG\n"
    "\n"
    "roi      reads FILE as read does, sets the ROI of view 0 to X,Y,W,H (image pixels), measures it\n"
    "         as the end of a ROI gesture does and prints the window caption and the clipboard\n"
    "         text (five lines: previous mean, mean, deviation, contrast, CNR).\n"
    "\n"
    "  --roi X,Y,W,H    the ROI (required)\n"
    "  --back X,Y,W,H   then presses \"ROI\" at the first ROI and \"ROI back\" at this one and prints\n"
    "                   the result boxes: Ave, Aveb, SDb, SNRb, CNR\n"
    "\n"
    "mtf      reads FILE as read does, sets the ROI of view 0 to X,Y,W,H across an edge, presses\n"
    "         Measure and runs \"ESF reprojection\", \"ESF OK\", \"MTF calc.\" and \"Clip MTF\" of the\n"
    "         analysis window. The longer side of the ROI runs across the edge: a ROI wider than\n"
    "         high measures along x (label NAME H), any other along y (NAME V). Prints, in order:\n"
    "           warning TEXT   one line per doubt about the edge, the curve being kept: a\n"
    "                          contrast-to-noise ratio under 50, pixels at the top or bottom of\n"
    "                          the 16-bit range, an ESF not levelled off at the ends of the LSF's\n"
    "                          span, no one dominant step (a ramp, two edges), an MTF above 1.05\n"
    "                          below half the Nyquist frequency (none for a clean edge)\n"
    "           shift S        the tilt the reprojection proposed (samples across the edge per\n"
    "                          line along it) with 9 significant digits, also when --shift\n"
    "                          replaced it\n"
    "           angle_deg A    the tilt the reprojection used (--shift, else the proposed one)\n"
    "                          as an angle, atan(shift) in degrees (%.4f)\n"
    "           mtf50 F        the frequency where the MTF first falls to 0.5, and to 0.1,\n"
    "           mtf10 F        linearly interpolated between the computed points (%.4f), or\n"
    "                          \"not reached\" when the curve stays above that level up to FMAX\n"
    "           mtf_nyquist V  the MTF at the Nyquist frequency 1 / (2 pitch), interpolated the\n"
    "                          same way (%.4f), or \"beyond the curve\" when FMAX is below it\n"
    "           LABEL          the \"MTF calc.\" clipboard: the preset name and \" H\" or \" V\",\n"
    "           0.000 ...      then the MTF as \"0.000\" at 0, FINT, 2 FINT, ..., one per line:\n"
    "                          FMAX / FINT rounded, plus 1 values (31 for 3 and 0.1)\n"
    "           <TAB>LABEL     the \"Clip MTF\" clipboard: a TAB and the label, then one row per\n"
    "           0.00<TAB>V ... frequency of the same grid: the frequency as \"0.00\", a TAB and the\n"
    "                          MTF rounded to 3 decimals without a zero before the point (\"1\",\n"
    "                          \".987\")\n"
    "         Frequencies are in cycles/mm. Numbers must be wholly decimal numbers in the ranges\n"
    "         below (the window's own limits); anything else is a usage error. A measurement the\n"
    "         analysis window refuses exits with 3 and its message: among others a ROI shorter\n"
    "         than 110 samples across the edge or an edge not between the plateau blocks 45 .. 54\n"
    "         samples in from either end (the message gives the length needed), ends that differ\n"
    "         by no more than the robust spread of their pixels (no edge), ESF bins left empty\n"
    "         by a tilt too small or too close to a simple fraction (an untilted or 45 degree\n"
    "         edge, a shift of 0.5) or by a pitch too coarse for the bin width. An edge off the\n"
    "         middle of the ROI is measured over the bins its pixels fill.\n"
    "\n"
    "         With --method precise, runs \"Precise MTF...\" instead: the edge's orientation and\n"
    "         line are found from the pixels (any ROI shape; the profile runs across the edge\n"
    "         whatever the ROI's sides), every pixel is projected onto the edge normal into\n"
    "         eighth-pixel bins, and the MTF along the normal has the bins' and the derivative's\n"
    "         transfer divided out and a standard error from groups of lines (the curve is stored\n"
    "         as NAME H P or NAME V P). Prints the warning lines, then\n"
    "           method precise\n"
    "           angle_deg A    the edge's tilt from the nearest image axis, degrees (%.4f)\n"
    "           cnr C          contrast-to-noise ratio of the two sides (%.1f, inf without noise)\n"
    "           mtf50 F, mtf10 F, mtf_nyquist V   as above\n"
    "           point F M E    per frequency 0, FINT, ... FMAX: cycles/mm (%.4f), MTF and its\n"
    "                          standard error (%.5f each)\n"
    "\n"
    "  --method M       written (the default: the steps above) or precise\n"
    "  --roi X,Y,W,H    the ROI (required), at least 110 x 21 pixels for the written method\n"
    "  --binw B         ESF bin width in mm, 0.01 to 0.2 as in \"Setting\" (default 0.03)\n"
    "  --shift S        answers \" Shift = \" with the tilt S instead of the proposed one\n"
    "  --vfilter 0|1    answers \"V-filter 0..off 1..on = \" (default 0)\n"
    "  --fmax F         answers \"Freq. max=\", 1 to 5 (default 3)\n"
    "  --fint F         answers \"Fint=\", 0.01 to 0.3 (default 0.1)\n"
    "  --data-no D      answers \"Data No.=\" with 1 to 7 (default the prompt's, 1): the curve's\n"
    "                   colour and legend row on the chart\n"
    "  --svg OUT        write the final MTF chart (960 x 720 pixels) as an SVG picture\n"
    "\n"
    "nnps     reads FILE as read does, sets the ROI of view 0 to X,Y,W,H on a flat field,\n"
    "         presses Measure and runs, from the \"Noise\" menu of the analysis window,\n"
    "         \"Setting\" (only with --nfmax or --nfint), the item of --mode and \"Clip NNPS \"\n"
    "         for the curve it stored. The ROI is cut into blocks of 256 x 256 pixels: its\n"
    "         width and height must be multiples of 256. More FILEs, flat fields of the same\n"
    "         detector and size read with the same preset, add the blocks of the same ROI:\n"
    "         the stored curve is the mean over the blocks of all FILEs. Prints, in order:\n"
    "           point F V      25 lines, the stored curve: F its frequency (cycles/mm,\n"
    "                          %.6g), from 1/25 of the Nyquist frequency up to it (0.2 .. 5\n"
    "                          for 0.1 mm pixels), and V the noise power there (%.6e):\n"
    "                          normalised, in mm^2, or for --mode nps in (pixel value)^2 mm^2\n"
    "           LABEL          the clipboard after the computation: the preset name and\n"
    "           V ...          \" R\" (radial), \" H\" or \" V\" (1D), then the power at NFINT,\n"
    "                          2 NFINT, ..., one per line, as \"0.0000\" or, when four\n"
    "                          decimals would show 0, as \"1.56E-06\": NFMAX / NFINT\n"
    "                          rounded, plus 1 values (31 for 3 and 0.1), fewer where\n"
    "                          they would pass the last point\n"
    "           <TAB>LABEL     the \"Clip NNPS \" clipboard: a TAB and the label, then one\n"
    "           0.00<TAB>V ... row per frequency NFINT, 2 NFINT, ..., NFMAX (30 rows for 3\n"
    "                          and 0.1), none beyond the Nyquist frequency 1 / (2 pitch): the\n"
    "                          frequency as \"0.00\", a TAB and the power as \"0.00000000\"\n"
    "                          or, when eight decimals would show 0, as \"1.23E-09\"\n"
    "           blocks B       the blocks averaged, over all FILEs\n"
    "           pixels P       the independent pixels they hold: B x 65536\n"
    "           note: fewer than the 4 million pixels a detector NNPS asks for\n"
    "                          only when P is below 4000000 (62 blocks make 4063232)\n"
    "         Numbers must be wholly decimal numbers in the ranges below; anything else is a\n"
    "         usage error. A ROI that is not a whole number of blocks, lies outside the image\n"
    "         or holds no noise, a line number outside 1 to 128, or FILEs of different sizes\n"
    "         or pitches (each FILE's pitch as read: a DICOM entry with a pitch of 0 takes it\n"
    "         from the file), exits with 3 and the reason.\n"
    "\n"
    "  --roi X,Y,W,H    the ROI (required)\n"
    "  --mode M         the item: 2d \"2D-NNPS\" (default), 1d-h and 1d-v \"1D-NNPS\"\n"
    "                   answered with the direction H or V, nps \"2D-NPS\" (blocks not\n"
    "                   divided by their means)\n"
    "  --lines N        answers \"Average line number = \" of 1d-h and 1d-v: the lines\n"
    "                   averaged on either side of the axis (default 7)\n"
    "  --nfmax F        \"Freq max\" of the noise \"Setting\", 0.2 to 5 (default 3)\n"
    "  --nfint F        \"Freq interval\" of the noise \"Setting\", 0.01 to 0.3 (default 0.1)\n"
    "  --data-no D      answers \"Data No.= \" with 1 to 7 (default the prompt's, 1): the\n"
    "                   curve's colour and legend row on the chart\n"
    "  --svg OUT        write the final NNPS chart (960 x 720 pixels) as an SVG picture\n"
    "\n"
    "dqe      the detective quantum efficiency of a detector from an edge image and flat fields\n"
    "         taken at air kerma K, all read with the one --preset:\n"
    "           1. the edge as mtf measures it (--edge-roi for --roi), with \"Freq. max=\" 5 and\n"
    "              \"Fint=\" 0.1, so that the MTF reaches the Nyquist frequency of pixels of\n"
    "              0.1 mm or more, stored as data number 1;\n"
    "           2. the flat fields as nnps measures them (--flat-roi for --roi, every --flat a\n"
    "              FILE), stored as data number 2;\n"
    "           3. \"DQE calc.\" of the \"DQE\" menu answered with 1, 2, the beam, the edition,\n"
    "              q (--q, else the value BEAMQ.TXT beside the program lists for the beam in\n"
    "              that edition) and K; then \"Clip DQE\".\n"
    "         Prints the edge's warning lines as mtf does, a warning line per line of BEAMQ.TXT\n"
    "         that repeats a name within one edition (the first is used) and, with --q for a\n"
    "         beam the list lacks, per line it could not read, and a warning line for a DQE\n"
    "         above 1; then the \"Clip DQE\" table: a header (the two curves' numbers and\n"
    "         labels, the\n"
    "         beam, q=Q /(mm^2 uGy), Ka=K uGy), the column row f (1/mm), MTF, NNPS (mm^2),\n"
    "         NEQ (1/mm^2), DQE, then one row per frequency of the NNPS curve up to the last\n"
    "         frequency of both curves: f as \"0.00\", MTF \"0.0000\", NNPS \"1.234E-06\", NEQ\n"
    "         \"1.2345E+05\", DQE \"0.0000\", separated by TABs. NEQ = MTF^2 / NNPS and\n"
    "         DQE = NEQ / (q K). A usage error exits with 2; an edge the MTF refuses, a flat\n"
    "         field the NNPS refuses (a mean not clearly above zero among others), a flat field\n"
    "         whose pitch as read differs from the edge image's (both are named), a K outside\n"
    "         0.001 .. 100000 uGy or a q outside 1000 .. 1000000, and without --q a beam not in\n"
    "         the list for the edition or a beam list that cannot be read whole (missing, or a\n"
    "         line that is not NAME Q EDITION), exits with 3 and the reason.\n"
    "\n"
    "  --edge FILE      the edge image (required, once)\n"
    "  --edge-roi X,Y,W,H  the ROI across the edge, as --roi of mtf (required)\n"
    "  --flat FILE      a flat field (required; repeat it for more flat fields of the same size)\n"
    "  --flat-roi X,Y,W,H  the ROI on the flat fields, as --roi of nnps (required)\n"
    "  --kerma K        answers \"Air kerma (uGy) = \": the air kerma at the detector of the\n"
    "                   flat fields, in uGy (required)\n"
    "  --beam NAME      answers \"Beam quality = \" (required): q is taken from BEAMQ.TXT\n"
    "  --edition E      answers \"Edition (2015 or 2003) = \": which block of BEAMQ.TXT gives\n"
    "                   q, the first line of the beam whose edition field holds E (default 2015)\n"
    "  --q Q            answers \"q (1/(mm^2 uGy)) for NAME = \": a beam that is not in\n"
    "                   BEAMQ.TXT needs it; for a listed beam it overrides the listed q\n"
    "  --mode M         the noise item: 2d (default), 1d-h or 1d-v, as for nnps\n"
    "  --lines N        the lines of 1d-h and 1d-v, as for nnps (default 7)\n"
    "  --vfilter 0|1    answers \"V-filter 0..off 1..on = \" of the MTF (default 0)\n"
    "  --nfmax F, --nfint F  the noise \"Setting\", as for nnps; --nfmax also ends the\n"
    "                   chart's frequency axis\n"
    "  --svg OUT        write the DQE chart (960 x 720 pixels) as an SVG picture\n"
    "\n"
    "convert  the conversion function of a detector (mean pixel value against air kerma) from\n"
    "         flat fields taken at known kerma: each --flat is read with the --preset as read\n"
    "         reads it, the mean of its pixels over --roi is taken, and a least-squares line is\n"
    "         fitted through (K, mean) (linear) or (ln K, mean) (log). Prints, in order:\n"
    "           warning TEXT   one line per doubt, the fit being kept: a flat field whose kerma\n"
    "                          read back through the function lies more than 2 % off its K, an\n"
    "                          r2 below 0.99\n"
    "           model M        linear or log\n"
    "           slope S        pixel value per uGy (linear) or per e-fold of kerma (log), %.9g\n"
    "           intercept I    pixel value at 0 uGy (linear) or at 1 uGy (log), %.9g\n"
    "           r2 R           coefficient of determination of the means (%.6f)\n"
    "           conversion T   the function as --conversion takes it: linear:S,I or log:S,I\n"
    "           point K M F R  one line per flat field, in the order given: its kerma K (%g),\n"
    "                          the mean M over the ROI and the fitted value F there (%.4f\n"
    "                          each), and R = 100 (K' - K) / K (%.3f), K' the kerma the\n"
    "                          function gives for M: (M - I) / S, or exp((M - I) / S)\n"
    "         A usage error (exit 2): a --flat without its --kerma or the reverse (the n-th\n"
    "         --kerma belongs to the n-th --flat), fewer than three flat fields, one file given\n"
    "         twice, a --kerma that is not a number, a --model other than linear and log.\n"
    "         Exit 3 with the reason: a file that is not read, a ROI not wholly inside a flat\n"
    "         field, a kerma that is not positive, all fields at one kerma, means that do not\n"
    "         change with the kerma.\n"
    "\n"
    "  --roi X,Y,W,H    the ROI the mean is taken over, in every flat field (required)\n"
    "  --flat FILE      a flat field (at least three; no file twice)\n"
    "  --kerma K        the air kerma at the detector, uGy, of the --flat before it\n"
    "  --model M        linear (the default) or log\n"
    "\n"
    "IEC-style measurement (after IEC 62220-1-1 as publicly described; not a statement of\n"
    "conformance). With --conversion linear:S,I or log:S,I (what convert prints) every pixel is\n"
    "first linearised to air kerma: K = (v - I) / S, or K = exp((v - I) / S).\n"
    "\n"
    "nnps --method iec  the NNPS along both axes of the flat fields (each FILE once; a FILE given\n"
    "         twice gives a warning and counts once). In the analysis area (--roi, any size of at\n"
    "         least 256 x 256; default the central 125 x 125 mm, or the whole image along an axis\n"
    "         where it is smaller) ROIs of 256 x 256 overlap by half in both directions, centred\n"
    "         in the area; one second-order polynomial surface is fitted over the whole area and\n"
    "         subtracted; the periodograms of the ROIs, without a window, are averaged and divided\n"
    "         by the squared mean linearised signal of their field. The NNPS along x (H) and along\n"
    "         y (V) average the 7 lines of the spectrum on either side of that axis, the axis\n"
    "         itself left out, each sample at its radial frequency, in bins as wide as the step\n"
    "         NFINT and centred on its multiples. Prints, in order:\n"
    "           warning TEXT   fewer than 4000000 independent pixels, grid frequencies no sample\n"
    "                          falls on (left out), a FILE given twice\n"
    "           method iec\n"
    "           area X,Y,W,H   the analysis area\n"
    "           rois N         ROIs averaged over all FILEs\n"
    "           independent_pixels N  pixels the ROIs cover, each counted once, over all FILEs\n"
    "           mean_kerma K   the mean linearised signal in uGy (only with --conversion)\n"
    "           bin_width W    cycles/mm\n"
    "           point F H V SH SV  per grid frequency NFINT, 2 NFINT, ... up to NFMAX: F in\n"
    "                          cycles/mm (%.4f), NNPS along x and y in mm^2 and their standard\n"
    "                          errors (%.6e each). A standard error is the spread of the ROIs'\n"
    "                          values with the correlation of overlapping ROIs measured from the\n"
    "                          ROIs themselves.\n"
    "         Exit 3: an area outside an image or under 256 x 256, FILEs of different pitch, a\n"
    "         mean signal not clearly above zero (ten standard errors), linearised values that\n"
    "         are not finite, no noise.\n"
    "\n"
    "  --roi X,Y,W,H    the analysis area (default above)\n"
    "  --conversion C   linear:S,I or log:S,I, finite numbers with S not 0 (default none)\n"
    "  --nfmax F        last grid frequency, 0.01 to 100 cycles/mm (default the Nyquist frequency)\n"
    "  --nfint F        grid step and bin width, 0.001 to 1 cycles/mm (default 0.05)\n"
    "\n"
    "dqe --method iec  the DQE per direction: the edge of --edge-h (its profile along x) and of\n"
    "         --edge-v (along y; the same FILE may serve both with two ROIs) measured with the\n"
    "         precise method of mtf on the grid below (a logarithmic conversion linearises the\n"
    "         edge images first), the flat fields as nnps --method iec measures them over\n"
    "         --flat-roi, and DQE(f) = MTF(f)^2 / (NNPS(f) q K) with each direction's MTF paired\n"
    "         with the same direction's NNPS. q is --q, else the beam's entry for the --edition\n"
    "         (default 2015) in BEAMQ.TXT. All images must share one pitch. Prints, in order:\n"
    "           warning TEXT   the edges' warnings (\"warning H edge: ...\"), the NNPS's, a name\n"
    "                          the beam list repeats, a DQE above 1 by more than twice its\n"
    "                          standard error, a mean linearised signal more than 10 % from K\n"
    "           method iec, beam NAME, edition E, q Q, kerma K, conversion C (or none),\n"
    "           mean_kerma K (with --conversion), angle_deg_h A, angle_deg_v A (%.4f),\n"
    "           rois N, independent_pixels N\n"
    "           point F MH MV NH NV DH DV  per grid frequency (as nnps --method iec): F\n"
    "                          (%.4f), MTF_H and MTF_V (%.5f), NNPS_H and NNPS_V (%.6e), DQE_H\n"
    "                          and DQE_V (%.5f)\n"
    "         With --report OUT.pdf also writes the report: the inputs (files with their\n"
    "         SHA-256, preset, pitch and where it came from, ROIs, kerma, beam, edition, q,\n"
    "         conversion), the MTF, NNPS and DQE charts of both directions with their standard\n"
    "         error bands, the point rows at 0.5, 1.0, 1.5, ... cycles/mm exactly as printed,\n"
    "         every warning, the method and its departures from the standard, version and date.\n"
    "         Exit 3: an edge the precise method refuses, the H edge's profile along y or the V\n"
    "         edge's along x, images of different pitch, a K outside 0.001 .. 100000 uGy or a q\n"
    "         outside 1000 .. 1000000, a beam neither listed for the edition nor given a --q, a\n"
    "         non-finite NEQ or DQE, a report that cannot be written; and the refusals of nnps.\n"
    "\n"
    "Every number is the whole argument (no blanks, no trailing characters, no nan or inf) and\n"
    "within its range; each command takes only the options listed for it.\n"
    "Files named by --dump, --png, --svg and --report are written only as regular files (new or\n"
    "replaced), never over an input file of the same run (exit 3 before anything is written).\n"
    "COMMAND --help prints that command's usage and exits 0; --version prints the version.\n"
    "Exit status: 0 success, 2 usage error, 3 the list, preset or file could not be used, an output\n"
    "could not be written, or the method refused the measurement (the reason on stderr).\n";

namespace {



/// The options of mtf; it refuses the others, which would otherwise pass unnoticed.
const std::vector<std::string> kMtfOptions = {"--preset", "--list", "--roi", "--binw", "--shift", "--vfilter",
                                              "--fmax", "--fint", "--data-no", "--svg", "--method"};
/// The options of the written method that the precise one has no use for.
const std::vector<std::string> kWrittenOnlyOptions = {"--binw", "--shift", "--vfilter"};
/// The options of nnps.
const std::vector<std::string> kNnpsOptions = {"--preset", "--list",  "--roi",     "--mode",
                                               "--lines",  "--nfmax", "--nfint",   "--data-no",
                                               "--svg"};
/// The options of dqe.
const std::vector<std::string> kDqeOptions = {"--edge",  "--edge-roi", "--flat",  "--flat-roi",
                                              "--preset", "--list",    "--kerma", "--beam",
                                              "--q",      "--edition", "--mode",  "--lines",
                                              "--vfilter", "--nfmax",  "--nfint", "--svg"};
/// The options of read, view and roi.
const std::vector<std::string> kReadOptions = {"--preset", "--list", "--to-log", "--to-linear",
                                               "--linear-adj", "--dump"};
const std::vector<std::string> kViewOptions = {"--preset", "--list", "--to-log", "--to-linear",
                                               "--linear-adj", "--pane", "--ww", "--wl",
                                               "--negative", "--fit", "--mag", "--p100", "--flip",
                                               "--png"};
const std::vector<std::string> kRoiOptions = {"--preset", "--list", "--to-log", "--to-linear",
                                              "--linear-adj", "--roi", "--back"};



/// Where the pitch came from, and for a DICOM file what the reader found in it.
void printReadFacts(const ReadFacts& f)
{
    std::printf("pitch_from %s\n", f.pitchFrom.c_str());
    if (f.elementsFrom.empty()) return;
    std::printf("elements %s\n", f.elementsFrom.c_str());
    if (!f.walkStop.empty()) std::printf("walk_stop %s\n", f.walkStop.c_str());
    const auto text = [](const std::optional<std::string>& v) { return v ? *v : std::string("absent"); };
    std::printf("transfer_syntax %s\nframes %d\npixel_representation %s\nimager_pixel_spacing %s\n"
                "pixel_spacing %s\n",
                f.transferSyntax.empty() ? "none" : f.transferSyntax.c_str(), f.frames,
                f.pixelRepresentation ? std::to_string(*f.pixelRepresentation).c_str() : "absent",
                text(f.imagerPixelSpacing).c_str(), text(f.pixelSpacing).c_str());
    std::printf("rescale_slope %s\nrescale_intercept %s\npresentation_intent %s\n", text(f.rescaleSlope).c_str(),
                text(f.rescaleIntercept).c_str(), text(f.presentationIntent).c_str());
}

int read(const Options& o)
{
    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    const Korvelf& k = s.k;
    const ImageBuffer& img = k.ws.IMG[0];
    const auto [lo, hi] = std::minmax_element(img.pixels.begin(), img.pixels.end());
    double sum = 0;
    for (int16_t p : img.pixels) sum += p;
    std::printf("width %d\nheight %d\noffset %d\npitch %g\nencoding %d\nmin %d\nmax %d\nmean %.4f\n",
                k.ws.XSZ[0], k.ws.YSZ[0], k.ws.HDOFS[0], static_cast<double>(k.ws.PIXMM[0]), k.ws.LOGFAC[0],
                *lo, *hi, sum / static_cast<double>(img.pixels.size()));
    printReadFacts(k.ws.READFACTS[0]);
    for (const std::string& w : k.ws.READFACTS[0].warnings) std::printf("%s\n", w.c_str());
    // A field left empty reads as 0, which is legal but seldom meant.
    const auto entry = static_cast<size_t>(k.ws.PRESETIDX[0]);
    if (entry < k.form.CMB1.List.size()) {
        for (const std::string& field : emptyPresetFields(k.form.CMB1.List[entry])) {
            std::printf("warning the detector list entry %s leaves its %s field empty, which reads as 0\n",
                        o.value("--preset").c_str(), field.c_str());
        }
    }

    if (o.has("--dump")) {
        std::string bytes;
        bytes.reserve(img.pixels.size() * 2);
        for (int16_t p : img.pixels) {
            const auto u = static_cast<uint16_t>(p);
            bytes += static_cast<char>(u & 0xFF);
            bytes += static_cast<char>(u >> 8);
        }
        if (const std::string why = samples::writeOutputFile(o.value("--dump"), bytes); !why.empty()) {
            return failure("cannot write " + o.value("--dump") + ": " + why);
        }
    }
    return 0;
}


/// "W,H"-like pair of integers separated by `sep`.
bool pairOf(const std::string& text, char sep, int32_t& a, int32_t& b)
{
    const auto v = integersOf(text, sep, 2);
    if (!v) return false;
    a = (*v)[0];
    b = (*v)[1];
    return true;
}

/// The pane as the window shows it, without the ROI shapes: dark grey (64) around the bitmap.
std::vector<uint8_t> paneImage(const Korvelf& k, const ScriptedHost& host)
{
    const int32_t w = k.disp.DISPW, h = k.disp.DISPH;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h, 64);
    const PaneBitmap& b = host.lastBlit[0].bitmap;
    for (int32_t y = 0; y < b.height; ++y) {
        const int32_t py = b.top + y;
        if (py < 0 || py >= h) continue;
        const uint8_t* row = b.bits + static_cast<size_t>(b.height - 1 - y) * b.rowBytes;
        for (int32_t x = 0; x < b.width; ++x) {
            const int32_t px = b.left + x;
            if (px >= 0 && px < w) out[static_cast<size_t>(py) * w + px] = row[x];
        }
    }
    return out;
}

int view(const Options& o)
{
    int32_t paneW = 1000, paneH = 800;
    if (o.has("--pane") && (!pairOf(o.value("--pane"), 'x', paneW, paneH) || paneW < 2 || paneH < 2 || paneW > 16384 || paneH > 16384)) {
        return usageError("--pane needs WxH with sides of 2 to 16384 pixels");
    }
    const int views = o.has("--fit") + o.has("--mag") + o.has("--p100");
    if (views > 1) return usageError("choose one of --fit, --mag and --p100");
    int magStep = 0;
    if (o.has("--mag")) {
        const double m = decimalOf(o.value("--mag")).value_or(0.0);
        const double stepValue = (m - 1.0) * 2.0;
        if (!(m >= 1.0 && m <= 6.0) || stepValue != std::floor(stepValue)) {
            return usageError("--mag takes 1, 1.5, 2, ... 6, the steps of the magnification scroll bar");
        }
        magStep = static_cast<int>(stepValue);
    }
    int32_t centreX = 0, centreY = 0;
    if (o.has("--p100") && !pairOf(o.value("--p100"), ',', centreX, centreY)) return usageError("--p100 needs X,Y");
    if (o.has("--ww") && !(int32Of(o.value("--ww")).value_or(0) > 0)) {
        return usageError("--ww needs a positive whole number, not \"" + o.value("--ww") + "\"");
    }
    if (o.has("--wl") && !int32Of(o.value("--wl"))) {
        return usageError("--wl needs a whole number, not \"" + o.value("--wl") + "\"");
    }
    if (o.has("--flip")) {
        for (const std::string& answer : o.values.at("--flip")) {
            if (answer.size() != 1 || answer[0] < '0' || answer[0] > '3') {
                return usageError("--flip takes 0, 1, 2 or 3, not \"" + answer + "\"");
            }
        }
    }

    Session s;
    if (const int status = openFile(o, s, paneW, paneH); status != 0) return status;
    Korvelf& k = s.k;
    if (o.has("--ww") || o.has("--wl")) {
        if (o.has("--ww")) k.form.WWTX[0].Text = o.value("--ww");
        if (o.has("--wl")) k.form.WCTX[0].Text = o.value("--wl");
        WWTX_DblClick(k, 0);
        if (o.has("--ww") && k.form.WWTX[0].Text != o.value("--ww")) return failure("the window width " + o.value("--ww") + " is not a 16-bit number");
        if (o.has("--wl") && k.form.WCTX[0].Text != o.value("--wl")) return failure("the window level " + o.value("--wl") + " is not a 16-bit number");
    }
    if (o.has("--negative")) {
        k.form.POSICK.Value = 0;
        POSICK_Click(k);
    }
    if (o.has("--flip")) {
        for (const std::string& answer : o.values.at("--flip")) {
            s.host.inputAnswers.push_back(answer);
            FLIPGO_Click(k);
        }
    }
    if (o.has("--fit")) REDISP_Click(k);
    if (o.has("--mag")) {
        k.form.MAGHS.Value = magStep;
        MAGHS_Change(k);
    }
    if (o.has("--p100")) {
        k.disp.PCX[0] = static_cast<int16_t>(std::clamp(centreX, 0, k.ws.XSZ[0] - 1));
        k.disp.PCY[0] = static_cast<int16_t>(std::clamp(centreY, 0, k.ws.YSZ[0] - 1));
        P100_Click(k);
    }
    std::printf("caption %s\nbmp %d %d\noffset %d %d\npxs %g\n", k.form.Caption.c_str(), k.disp.BMPW, k.disp.BMPH,
                k.disp.OX[0], k.disp.OY[0], static_cast<double>(k.disp.PXS[0]));
    if (o.has("--png")) {
        const std::vector<uint8_t> png = samples::greyPng(paneW, paneH, paneImage(k, s.host));
        const std::string why = samples::writeOutputFile(
            o.value("--png"), std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
        if (!why.empty()) return failure("cannot write " + o.value("--png") + ": " + why);
    }
    return 0;
}


int roi(const Options& o)
{
    if (!o.has("--roi")) return usageError("roi needs --roi X,Y,W,H");
    const auto signal = roiOf(o.value("--roi"));
    if (!signal) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    std::optional<RoiRecord> background;
    if (o.has("--back")) {
        background = roiOf(o.value("--back"));
        if (!background) return usageError("--back needs X,Y,W,H with positive 16-bit width and height");
    }
    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    Korvelf& k = s.k;
    k.ws.CURSLOT = 0;
    k.roi[0] = *signal;
    ROICLC(k);
    if (!s.host.messages.empty()) return failure(s.host.messages.back());
    const std::string clipboard = withLf(s.host.clipboardText);
    std::printf("caption %s\nclipboard\n%s\n", k.form.Caption.c_str(), clipboard.c_str());
    if (background) {
        ROI1SET_Click(k);
        k.roi[0] = *background;
        ROI2SET_Click(k);
        if (!s.host.messages.empty()) return failure(s.host.messages.back());
        const KorvelfForm& f = k.form;
        std::printf("Ave %s\nAveb %s\nSDb %s\nSNRb %s\nCNR %s\n", f.AVE1TX[0].Text.c_str(), f.AVE2TX[0].Text.c_str(),
                    f.SDTX[0].Text.c_str(), f.SNRTX[0].Text.c_str(), f.CNRTX[0].Text.c_str());
    }
    return 0;
}



/// One menu command of the analysis window: the prompts it asks, in order, with their answers,
/// and the display mode it must leave.
struct Step {
    const char* caption;
    std::function<void(Vylsf&)> handler;
    std::vector<std::pair<std::string, std::string>> answers;
    int16_t mode;
};

/// Runs a step; the reason the method refused it, or an empty text.
std::string run(Session& s, Vylsf& v, const Step& step)
{
    ScriptedHost& host = s.host;
    const size_t asked = host.prompts.size();
    const size_t said = host.messages.size();
    host.inputAnswers.clear();
    for (const auto& answer : step.answers) host.inputAnswers.push_back(answer.second);
    step.handler(v);
    // A message of warnings keeps the curve; any other message is the step's refusal.
    for (size_t i = said; i < host.messages.size(); ++i) {
        if (!isWarning(host.messages[i])) return oneLine(host.messages[i]);
    }
    // An answer taken by another prompt would measure with numbers nobody asked for.
    for (size_t i = 0; i < step.answers.size(); ++i) {
        const std::string& expected = step.answers[i].first;
        if (asked + i >= host.prompts.size() || host.prompts[asked + i].prompt != expected) {
            return std::string("\"") + step.caption + "\" did not ask \"" + expected +
                   "\" as expected";
        }
    }
    if (host.prompts.size() != asked + step.answers.size()) {
        return std::string("\"") + step.caption + "\" asked more than expected: \"" +
               host.prompts.back().prompt + "\"";
    }
    if (v.r.DSPMODE != step.mode) {
        return std::string("\"") + step.caption + "\" left the analysis window in mode " +
               std::to_string(v.r.DSPMODE) + " instead of " + std::to_string(step.mode);
    }
    return {};
}


/// Writes the analysis window's last chart to the file of --svg, if one is named; the exit status
/// of a failure, or 0.
int writeChart(const Options& o, const ScriptedHost& host)
{
    if (!o.has("--svg")) return 0;
    if (const std::string why =
            samples::writeOutputFile(o.value("--svg"), samples::chartSvg(host.canvas.calls));
        !why.empty()) {
        return failure("cannot write " + o.value("--svg") + ": " + why);
    }
    return 0;
}

/// The answer to "Data No.=" that --data-no gives (the prompt's default without it); the usage
/// error text, or an empty text.
std::string dataNoOption(const Options& o, std::string& answer)
{
    answer = ScriptedHost::kAcceptDefault;
    if (!o.has("--data-no")) return {};
    answer = o.value("--data-no");
    if (answer.size() != 1 || answer[0] < '1' || answer[0] > '7') {
        return "--data-no needs one of 1 to 7, not \"" + answer + "\"";
    }
    return {};
}

/// The answer to "V-filter 0..off 1..on = " that --vfilter gives; the usage error text, or an
/// empty text.
std::string vfilterOption(const Options& o, std::string& answer)
{
    answer = o.has("--vfilter") ? o.value("--vfilter") : "0";
    if (answer != "0" && answer != "1") return "--vfilter needs 0 or 1, not \"" + answer + "\"";
    return {};
}

/// Presses Measure with the ROI of view 0 set to `roi`; why the analysis window did not open, or
/// an empty text.
std::string measureRoi(Session& s, const RoiRecord& roi)
{
    s.k.ws.CURSLOT = 0;
    s.k.roi[0] = roi;
    s.host.analysisWindowShown = false;
    MEASUREGO_Click(s.k);
    if (!s.host.analysisWindowShown) {
        return "Measure did not open the analysis window: view 0 holds no image";
    }
    return {};
}

/// The answers of an edge measurement.
struct MtfRequest {
    RoiRecord roi;
    std::optional<double> binw;                        ///< ESF bin width, or the window's
    std::string shift = ScriptedHost::kAcceptDefault;  ///< answer to " Shift = "
    std::string vfilter = "0";                         ///< answer to the V-filter prompt
    std::string fmax = "3", fint = "0.1";              ///< answers to "Freq. max=" and "Fint="
    std::string dataNo = ScriptedHost::kAcceptDefault; ///< answer to "Data No.="
};

/// What an edge measurement shows.
struct MtfResult {
    float proposed = 0; ///< the tilt the reprojection proposed
    float used = 0;     ///< the tilt it projected with (typed, else proposed)
    std::string warnings; ///< "warning ..." lines, each ending in a line feed
    std::string values; ///< the "MTF calc." clipboard, LF line ends
    std::string table;  ///< the "Clip MTF" clipboard, LF line ends
    MtfSummary summary; ///< the figures stored with the curve
};

/// Measures the edge in view 0: the ROI, Measure, "ESF reprojection", "ESF OK", "MTF calc." and
/// "Clip MTF"; why the window refused it, or an empty text.
std::string measureEdge(Session& s, Vylsf& v, const MtfRequest& q, MtfResult& out)
{
    ScriptedHost& host = s.host;
    if (std::string why = measureRoi(s, q.roi); !why.empty()) return why;
    if (q.binw) v.r.BINW = static_cast<float>(*q.binw);
    const size_t said = host.messages.size();

    if (std::string why = run(s, v, {"ESF reprojection", DSPESF, {{" Shift = ", q.shift}}, 1});
        !why.empty()) {
        return why;
    }
    // The tilt offered as the prompt's default text, read as the prompt reads an accepted default.
    out.proposed = static_cast<float>(leadingNumber(host.prompts.back().deflt));
    if (std::string why =
            run(s, v, {"ESF OK", ESFOK, {{"V-filter 0..off 1..on = ", q.vfilter}}, 2});
        !why.empty()) {
        return why;
    }
    const Step calc{"MTF calc.",
                    MTFCLC,
                    {{"Freq. max=", q.fmax}, {"Fint=", q.fint}, {"Data No.=", q.dataNo}},
                    3};
    if (std::string why = run(s, v, calc); !why.empty()) return why;
    out.used = v.r.EDGESLOPE;
    out.warnings = warningLines(host, said);
    out.values = withLf(host.clipboardText);
    out.summary = v.r.MTFSUM[static_cast<size_t>(v.r.DATANO - 1)];
    host.clipboardText.clear();
    if (std::string why =
            run(s, v, {"Clip MTF", CLIPMTF, {{"No.=", std::to_string(v.r.DATANO)}}, 3});
        !why.empty()) {
        return why;
    }
    if (host.clipboardText.empty()) return "\"Clip MTF\" put nothing on the clipboard";
    out.table = withLf(host.clipboardText);
    return {};
}

/// A figure of the MTF as the mtf command prints it: "%.4f", or the words for its absence.
std::string figureText(const std::optional<float>& value, const char* absent)
{
    if (!value) return absent;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.4f", static_cast<double>(*value));
    return buf;
}

/// mtf --method precise: "Precise MTF..." on the ROI, then its figures and points.
int preciseMtf(const Options& o, Session& s, Vylsf& v, const MtfRequest& q)
{
    if (std::string why = measureRoi(s, q.roi); !why.empty()) return failure(why);
    const size_t said = s.host.messages.size();
    const Step step{"Precise MTF...",
                    PRECISEMTF,
                    {{"Freq. max=", q.fmax}, {"Fint=", q.fint}, {"Data No.=", q.dataNo}},
                    3};
    if (std::string why = run(s, v, step); !why.empty()) return failure(why);
    if (const int status = writeChart(o, s.host); status != 0) return status;
    const PreciseMtfResult& p = v.r.PRECISE;
    const MtfSummary& summary = v.r.MTFSUM[static_cast<size_t>(v.r.DATANO - 1)];
    char cnr[48];
    if (std::isinf(p.cnr)) {
        std::snprintf(cnr, sizeof cnr, "inf");
    } else {
        std::snprintf(cnr, sizeof cnr, "%.1f", p.cnr);
    }
    std::printf("%smethod precise\nangle_deg %.4f\ncnr %s\nmtf50 %s\nmtf10 %s\nmtf_nyquist %s\n",
                warningLines(s.host, said).c_str(), p.angleDeg, cnr,
                figureText(summary.mtf50, "not reached").c_str(),
                figureText(summary.mtf10, "not reached").c_str(),
                figureText(summary.nyquist, "beyond the curve").c_str());
    for (size_t n = 0; n < p.freq.size(); ++n) {
        std::printf("point %.4f %.5f %.5f\n", p.freq[n], p.mtf[n], p.se[n]);
    }
    return 0;
}

int mtf(const Options& o)
{
    for (const auto& [name, values] : o.values) {
        if (std::find(kMtfOptions.begin(), kMtfOptions.end(), name) == kMtfOptions.end()) {
            return usageError("mtf does not take " + name);
        }
    }
    if (!o.has("--roi")) return usageError("mtf needs --roi X,Y,W,H");
    const std::string method = o.has("--method") ? o.value("--method") : "written";
    if (method != "written" && method != "precise") {
        return usageError("--method needs written or precise, not \"" + method + "\"");
    }
    if (method == "precise") {
        for (const std::string& name : kWrittenOnlyOptions) {
            if (o.has(name)) return usageError(name + " belongs to the written method, not to --method precise");
        }
    }
    const auto edgeRoi = roiOf(o.value("--roi"));
    if (!edgeRoi) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    MtfRequest request;
    request.roi = *edgeRoi;
    std::string error;
    if (o.has("--binw") && !(request.binw = rangedOption(o, "--binw", 0.01, 0.2, error)))
        return usageError(error);
    if (o.has("--shift")) {
        const auto shift = decimalOf(o.value("--shift"));
        if (!shift || !(std::fabs(*shift) <= std::numeric_limits<float>::max())) {
            return usageError("--shift needs a number of single precision range, not \"" +
                              o.value("--shift") + "\"");
        }
        request.shift = o.value("--shift");
    }
    if (error = vfilterOption(o, request.vfilter); !error.empty()) return usageError(error);
    if (o.has("--fmax")) {
        if (!rangedOption(o, "--fmax", 1, 5, error)) return usageError(error);
        request.fmax = o.value("--fmax");
    }
    if (o.has("--fint")) {
        if (!rangedOption(o, "--fint", 0.01, 0.3, error)) return usageError(error);
        request.fint = o.value("--fint");
    }
    if (error = dataNoOption(o, request.dataNo); !error.empty()) return usageError(error);
    if (o.has("--svg") && o.value("--svg").empty()) return usageError("--svg needs a file name");

    Session s;
    if (const int status = openFile(o, s); status != 0) return status;
    Vylsf v{s.k};
    Form_Load(v);
    if (method == "precise") return preciseMtf(o, s, v, request);
    MtfResult result;
    if (std::string why = measureEdge(s, v, request, result); !why.empty()) return failure(why);

    if (const int status = writeChart(o, s.host); status != 0) return status;
    std::printf("%sshift %.9g\nangle_deg %.4f\nmtf50 %s\nmtf10 %s\nmtf_nyquist %s\n%s%s",
                result.warnings.c_str(), static_cast<double>(result.proposed),
                std::atan(static_cast<double>(result.used)) * 180 / std::numbers::pi,
                figureText(result.summary.mtf50, "not reached").c_str(),
                figureText(result.summary.mtf10, "not reached").c_str(),
                figureText(result.summary.nyquist, "beyond the curve").c_str(),
                result.values.c_str(), result.table.c_str());
    return 0;
}

/// A noise item of the analysis window as --mode names it.
struct NoiseMode {
    const char* name;
    const char* caption;
    void (*handler)(Vylsf&);
    const char* direction; ///< the answer to "Direction 0..H  1..V = ", or none
    int raw;               ///< 1 for the spectrum of blocks not divided by their means
};
const NoiseMode kNoiseModes[] = {
    {"2d", "2D-NNPS", NNPS2D_Click, nullptr, 0},
    {"1d-h", "1D-NNPS", NNPS1D_Click, "0", 0},
    {"1d-v", "1D-NNPS", NNPS1D_Click, "1", 0},
    {"nps", "2D-NPS", NPS2D_Click, nullptr, 1},
};

/// A text that is wholly a whole decimal number of at most 9 digits, with an optional sign.
std::optional<int32_t> wholeOf(const std::string& text)
{
    const size_t from = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (text.size() == from || text.size() - from > 9) return std::nullopt;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

/// The noise "Setting" answered with the given texts (nullopt keeps the current value); the reason
/// it did not take them, or an empty text.
std::string setNoiseRange(Session& s, Vylsf& v, const std::optional<std::string>& nfmax,
                          const std::optional<std::string>& nfint)
{
    ScriptedHost& host = s.host;
    const size_t asked = host.prompts.size();
    const size_t said = host.messages.size();
    host.inputAnswers = {nfmax.value_or(ScriptedHost::kAcceptDefault),
                         nfint.value_or(ScriptedHost::kAcceptDefault)};
    host.msgBoxAnswers = {MsgBoxAnswer::Yes};
    SETNPS(v);
    // The summary box is the dialogue's last step, not a refusal.
    if (host.prompts.size() != asked + 2 || host.messages.size() != said + 1 ||
        host.prompts[asked].prompt != "Freq max = " ||
        host.prompts[asked + 1].prompt != "Freq interval = ") {
        return "the noise \"Setting\" did not ask \"Freq max = \" and \"Freq interval = \" as "
               "expected";
    }
    host.messages.pop_back();
    const auto took = [](const std::optional<std::string>& text, float value) {
        return !text || static_cast<float>(leadingNumber(*text)) == value;
    };
    if (!took(nfmax, v.r.NFMAX) || !took(nfint, v.r.NFINT)) {
        return "the noise \"Setting\" changed the frequency range it was given";
    }
    return {};
}

/// The answers of a flat-field measurement.
struct NnpsRequest {
    RoiRecord roi;
    const NoiseMode* mode = nullptr;
    std::optional<int32_t> lines;            ///< "Average line number = ", or the default
    std::optional<std::string> nfmax, nfint; ///< the noise "Setting", or as it is
    std::string dataNo = ScriptedHost::kAcceptDefault;
};

/// What a flat-field measurement shows.
struct NnpsResult {
    size_t slot = 0;    ///< where the curve is stored, data number - 1
    std::string values; ///< the computation's clipboard, LF line ends
    std::string table;  ///< the "Clip NNPS " clipboard, LF line ends
    int64_t blocks = 0; ///< blocks averaged over all images
};

/// --mode, --lines, --nfmax and --nfint into `q`; the usage error text, or an empty text.
std::string noiseOptions(const Options& o, NnpsRequest& q)
{
    const std::string modeName = o.has("--mode") ? o.value("--mode") : "2d";
    for (const NoiseMode& m : kNoiseModes) {
        if (modeName == m.name) q.mode = &m;
    }
    if (q.mode == nullptr) {
        return "--mode needs one of 2d, 1d-h, 1d-v and nps, not \"" + modeName + "\"";
    }
    if (o.has("--lines")) {
        if (q.mode->direction == nullptr) return "--lines goes with --mode 1d-h or 1d-v";
        // The window itself refuses a number outside 1 .. 128, as it does for the operator.
        q.lines = wholeOf(o.value("--lines"));
        if (!q.lines) return "--lines needs a whole number, not \"" + o.value("--lines") + "\"";
    }
    std::string error;
    if (o.has("--nfmax")) {
        if (!rangedOption(o, "--nfmax", 0.2, 5, error)) return error;
        q.nfmax = o.value("--nfmax");
    }
    if (o.has("--nfint")) {
        if (!rangedOption(o, "--nfint", 0.01, 0.3, error)) return error;
        q.nfint = o.value("--nfint");
    }
    return {};
}

/// A pitch in mm as the messages give it: "0.1", "0.143".
std::string pitchText(float pitch)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(pitch));
    return buf;
}

/// Whether two images' pitches differ by more than the rounding of their texts.
bool pitchesDiffer(float a, float b)
{
    return std::fabs(a - b) > 1e-6f * std::max(std::fabs(a), std::fabs(b));
}

/// Reads flat fields into view 0: each after the first in turn, keeping its image in `others`,
/// then the first, which the view holds afterwards; each one's pitch as read goes to `pitches`,
/// in the order of `files`. Why one was not read, or an empty text.
std::string readFlats(Session& s, const std::vector<std::string>& files,
                      std::vector<ImageBuffer>& others, std::vector<float>& pitches)
{
    pitches.assign(files.size(), 0.0f);
    for (size_t i = 1; i < files.size(); ++i) {
        if (std::string why = readFile(s, files[i]); !why.empty()) return why;
        others.push_back(s.k.ws.IMG[0]);
        pitches[i] = s.k.ws.PIXMM[0];
    }
    std::string why = readFile(s, files.front());
    pitches[0] = s.k.ws.PIXMM[0];
    return why;
}

/// Measures the flat field in view 0, with `others` of the same size: the ROI, Measure, the
/// noise "Setting" when asked for, the item of the mode (over all images when there are others)
/// and "Clip NNPS "; why the window refused it, or an empty text.
std::string measureFlat(Session& s, Vylsf& v, const NnpsRequest& q,
                        const std::vector<ImageBuffer>& others, NnpsResult& out)
{
    ScriptedHost& host = s.host;
    if (std::string why = measureRoi(s, q.roi); !why.empty()) return why;
    if (q.nfmax || q.nfint) {
        if (std::string why = setNoiseRange(s, v, q.nfmax, q.nfint); !why.empty()) return why;
    }

    const NoiseMode& mode = *q.mode;
    Step compute{mode.caption, mode.handler, {}, 4};
    if (others.empty()) {
        if (mode.direction != nullptr) {
            const std::string lines =
                q.lines ? std::to_string(*q.lines) : ScriptedHost::kAcceptDefault;
            compute.answers = {{"Direction 0..H  1..V = ", mode.direction},
                               {"Average line number = ", lines}};
        }
    } else {
        // The settings the menu item makes before its computation, then the computation over
        // every image.
        int16_t u = 128, w = 128;
        std::string direction = " R";
        if (mode.direction != nullptr) {
            const int32_t n = q.lines.value_or(7);
            if (n < 1 || n > kBlock / 2) {
                return "Average line number " + std::to_string(n) +
                       " is outside 1 .. 128: the band takes 1 to 128 lines beside the axis.";
            }
            const bool vertical = std::string(mode.direction) == "1";
            u = static_cast<int16_t>(vertical ? n : 128);
            w = static_cast<int16_t>(vertical ? 128 : n);
            direction = vertical ? " V" : " H";
        }
        compute.handler = [u, w, direction, raw = mode.raw, &others](Vylsf& a) {
            a.r.NPSU = u;
            a.r.NPSV = w;
            a.r.NPSDIR = direction;
            nnpsOverImages(a, raw, others);
        };
    }
    compute.answers.emplace_back("Data No.= ", q.dataNo);
    const size_t asked = host.prompts.size();
    if (std::string why = run(s, v, compute); !why.empty()) {
        // The items return without a word on a ROI of partial blocks; say what the window leaves
        // the operator to notice.
        const RoiRecord& roi = s.k.roi[0];
        if (host.prompts.size() == asked && (roi.ROIW % kBlock != 0 || roi.ROIH % kBlock != 0)) {
            return "the ROI of " + std::to_string(roi.ROIW) + " x " + std::to_string(roi.ROIH) +
                   " pixels is not a whole number of " + std::to_string(kBlock) + " x " +
                   std::to_string(kBlock) + " blocks: \"" + mode.caption + "\" stored nothing";
        }
        return why;
    }
    out.slot = static_cast<size_t>(v.r.DATANO - 1);
    if (v.r.NPSNUM[out.slot] < 1) return std::string("\"") + mode.caption + "\" stored no curve";
    out.values = withLf(host.clipboardText);
    host.clipboardText.clear();
    const Step clip{"Clip NNPS ", NPSCLIP_Click, {{"Data No.=", std::to_string(v.r.DATANO)}}, 4};
    if (std::string why = run(s, v, clip); !why.empty()) return why;
    if (host.clipboardText.empty()) return "\"Clip NNPS \" put nothing on the clipboard";
    out.table = withLf(host.clipboardText);
    out.blocks = static_cast<int64_t>(q.roi.ROIW / kBlock) * (q.roi.ROIH / kBlock) *
                 static_cast<int64_t>(others.size() + 1);
    return {};
}

/// Independent pixels a detector's NNPS is to be averaged over.
constexpr int64_t kNnpsPixelsAskedFor = 4000000;

int nnps(const Options& o)
{
    for (const auto& [name, values] : o.values) {
        if (std::find(kNnpsOptions.begin(), kNnpsOptions.end(), name) == kNnpsOptions.end()) {
            return usageError("nnps does not take " + name);
        }
    }
    if (!o.has("--roi")) return usageError("nnps needs --roi X,Y,W,H");
    const auto flatRoi = roiOf(o.value("--roi"));
    if (!flatRoi) return usageError("--roi needs X,Y,W,H with positive 16-bit width and height");
    NnpsRequest request;
    request.roi = *flatRoi;
    if (std::string error = noiseOptions(o, request); !error.empty()) return usageError(error);
    if (std::string error = dataNoOption(o, request.dataNo); !error.empty())
        return usageError(error);
    if (o.has("--svg") && o.value("--svg").empty()) return usageError("--svg needs a file name");
    if (o.file.empty()) return usageError("nnps needs a FILE");

    Session s;
    if (const int status = startSession(o, s); status != 0) return status;
    std::vector<ImageBuffer> others;
    std::vector<float> pitches;
    if (std::string why = readFlats(s, o.files, others, pitches); !why.empty()) return failure(why);
    // Blocks of pixels of different size have their power at different frequencies.
    for (size_t i = 1; i < pitches.size(); ++i) {
        if (pitchesDiffer(pitches[i], pitches[0])) {
            return failure("The flat field " + o.files[0] + " has a pitch of " +
                           pitchText(pitches[0]) + " mm and the flat field " + o.files[i] + " " +
                           pitchText(pitches[i]) +
                           " mm: the spectra of different pixel sizes cannot be averaged.");
        }
    }
    Vylsf v{s.k};
    Form_Load(v);
    NnpsResult result;
    if (std::string why = measureFlat(s, v, request, others, result); !why.empty())
        return failure(why);

    if (const int status = writeChart(o, s.host); status != 0) return status;
    for (int32_t i = 0; i < v.r.NPSNUM[result.slot]; ++i) {
        const double power = std::pow(10.0, static_cast<double>(v.r.NPSVAL[result.slot][i]));
        std::printf("point %.6g %.6e\n", static_cast<double>(v.r.NPSFRQ[result.slot][i]), power);
    }
    const int64_t pixels = result.blocks * kBlock * kBlock;
    std::printf("%s%sblocks %lld\npixels %lld\n", result.values.c_str(), result.table.c_str(),
                static_cast<long long>(result.blocks), static_cast<long long>(pixels));
    if (pixels < kNnpsPixelsAskedFor) {
        std::printf("note: fewer than the 4 million pixels a detector NNPS asks for\n");
    }
    return 0;
}

/// A beam quality name as "DQE calc." reads it: without blanks and tabs around it.
std::string trimmedName(const std::string& text)
{
    const size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t") + 1 - from);
}

int dqe(const Options& o)
{
    for (const auto& [name, values] : o.values) {
        if (std::find(kDqeOptions.begin(), kDqeOptions.end(), name) == kDqeOptions.end()) {
            return usageError("dqe does not take " + name);
        }
    }
    if (!o.files.empty()) {
        return usageError("dqe takes its images with --edge and --flat, not as \"" + o.file + "\"");
    }
    for (const char* required :
         {"--edge", "--edge-roi", "--flat", "--flat-roi", "--kerma", "--beam"}) {
        if (!o.has(required)) return usageError(std::string("dqe needs ") + required);
    }
    if (o.values.at("--edge").size() != 1) return usageError("dqe takes one --edge");
    for (const char* named : {"--edge", "--flat"}) {
        for (const std::string& file : o.values.at(named)) {
            if (file.empty()) return usageError(std::string(named) + " needs a file name");
        }
    }
    const auto edgeRoi = roiOf(o.value("--edge-roi"));
    if (!edgeRoi) {
        return usageError("--edge-roi needs X,Y,W,H with positive 16-bit width and height");
    }
    const auto flatRoi = roiOf(o.value("--flat-roi"));
    if (!flatRoi) {
        return usageError("--flat-roi needs X,Y,W,H with positive 16-bit width and height");
    }

    // The MTF as far as "Freq. max=" goes, so that the DQE reaches the Nyquist frequency of
    // pixels of 0.1 mm and more; stored as 1, the noise as 2.
    MtfRequest edge;
    edge.roi = *edgeRoi;
    edge.fmax = "5";
    edge.fint = "0.1";
    edge.dataNo = "1";
    if (std::string error = vfilterOption(o, edge.vfilter); !error.empty()) {
        return usageError(error);
    }
    NnpsRequest flat;
    flat.roi = *flatRoi;
    if (std::string error = noiseOptions(o, flat); !error.empty()) return usageError(error);
    if (flat.mode->raw != 0) {
        return usageError("the DQE needs a normalised spectrum: --mode takes 2d, 1d-h or 1d-v");
    }
    flat.dataNo = "2";

    if (!decimalOf(o.value("--kerma"))) {
        return usageError("--kerma needs a number of uGy, not \"" + o.value("--kerma") + "\"");
    }
    if (o.has("--q") && !decimalOf(o.value("--q"))) {
        return usageError("--q needs a number of photons per mm^2 and uGy, not \"" +
                          o.value("--q") + "\"");
    }
    const std::string beam = trimmedName(o.value("--beam"));
    if (beam.empty()) return usageError("--beam needs a name");
    if (o.has("--svg") && o.value("--svg").empty()) return usageError("--svg needs a file name");

    const std::string edition = o.has("--edition") ? o.value("--edition") : "2015";
    if (edition != "2015" && edition != "2003") {
        return usageError("--edition needs 2015 or 2003, not \"" + edition + "\"");
    }

    // Without --q, q comes from the list "DQE calc." reads, which must then be whole and hold the
    // beam; a typed q needs no list.
    if (!o.has("--q")) {
        const BeamList beams = readBeamList(programFolder() / kBeamListFileName);
        if (const auto faults = beams.faults(); !faults.empty()) {
            return failure("beam list: " + oneLine(faults.front()));
        }
        if (findBeam(beams, beam, edition) == nullptr) {
            return failure("the beam quality " + beam + " is not in " + kBeamListFileName +
                           " for the " + edition + " edition: give its q (1/(mm^2 uGy)) with --q");
        }
    }

    Session s;
    if (const int status = startSession(o, s); status != 0) return status;
    if (std::string why = readFile(s, o.value("--edge")); !why.empty()) {
        return failure("edge image: " + why);
    }
    const float edgePitch = s.k.ws.PIXMM[0];
    Vylsf v{s.k};
    Form_Load(v);
    MtfResult mtfResult;
    if (std::string why = measureEdge(s, v, edge, mtfResult); !why.empty()) {
        return failure("edge image: " + why);
    }
    std::vector<ImageBuffer> others;
    std::vector<float> pitches;
    const std::vector<std::string>& flatFiles = o.values.at("--flat");
    if (std::string why = readFlats(s, flatFiles, others, pitches); !why.empty()) {
        return failure("flat field: " + why);
    }
    // The MTF and the NNPS are combined frequency by frequency: both must be of one pixel size.
    for (size_t i = 0; i < pitches.size(); ++i) {
        if (pitchesDiffer(pitches[i], edgePitch)) {
            return failure("The edge image has a pitch of " + pitchText(edgePitch) +
                           " mm and the flat field " + flatFiles[i] + " " + pitchText(pitches[i]) +
                           " mm: the MTF and the NNPS of a DQE must come from pixels of one size.");
        }
    }
    NnpsResult nnpsResult;
    if (std::string why = measureFlat(s, v, flat, others, nnpsResult); !why.empty()) {
        return failure("flat field: " + why);
    }

    Step calc{"DQE calc.",
              DQECLC,
              {{"MTF data No.= ", "1"},
               {"NNPS data No.= ", "2"},
               {"Beam quality = ", beam},
               {"Edition (2015 or 2003) = ", edition},
               {"q (1/(mm^2 uGy)) for " + beam + " = ",
                o.has("--q") ? o.value("--q") : ScriptedHost::kAcceptDefault},
               {"Air kerma (uGy) = ", o.value("--kerma")}},
              kDqeMode};
    if (std::string why = run(s, v, calc); !why.empty()) return failure(why);
    s.host.clipboardText.clear();
    if (std::string why = run(s, v, {"Clip DQE", CLIPDQE, {}, kDqeMode}); !why.empty()) {
        return failure(why);
    }
    if (s.host.clipboardText.empty()) return failure("\"Clip DQE\" put nothing on the clipboard");

    if (const int status = writeChart(o, s.host); status != 0) return status;
    // The edge's warnings, then the DQE's own (a DQE above 1).
    std::printf("%s%s", warningLines(s.host, 0).c_str(), withLf(s.host.clipboardText).c_str());
    return 0;
}

/// --method iec chooses the IEC-style noise and DQE; any other method of nnps and dqe is a usage
/// error there.
bool isIec(const Options& o)
{
    return o.has("--method") && o.value("--method") == "iec";
}

} // namespace

/// Writes a help text to the standard output; 0, or 3 when it could not be written.
int printHelp(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return failure(std::string("cannot write the help (") + std::strerror(errno) + ")");
    }
    return 0;
}

/// The help of one command: its usage lines, its sections and the closing rules; empty when the
/// help knows no such command.
std::string commandHelp(const std::string& command)
{
    std::vector<std::string> lines;
    for (size_t from = 0; from < std::strlen(kUsage);) {
        const size_t end = std::string_view(kUsage).find('\n', from);
        lines.emplace_back(kUsage + from, end - from);
        from = end + 1;
    }
    std::string usage, sections, rules;
    bool inUsage = false, inSection = false, inRules = false;
    const std::string lead = "vantry-measure " + command + " ";
    for (const std::string& line : lines) {
        const bool usageStart = line.find("vantry-measure ") != std::string::npos &&
                                (line.rfind("usage: ", 0) == 0 || line.rfind("       vantry-measure", 0) == 0);
        if (usageStart) inUsage = line.find(lead) != std::string::npos;
        else if (line.rfind("                           ", 0) != 0) inUsage = false;
        if (inUsage) usage += (usage.empty() ? "usage: " + line.substr(line.find("vantry-measure")) : line) + "\n";
        if (!line.empty() && line[0] != ' ') {
            inSection = line.rfind(command + " ", 0) == 0;
            inRules |= line.rfind("Every number", 0) == 0;
        }
        if (inSection) sections += line + "\n";
        if (inRules) rules += line + "\n";
    }
    if (usage.empty()) return {};
    return usage + "\n" + sections + rules;
}

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        return printHelp(kUsage);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        return printHelp(std::string("vantry-measure ") + VANTRY_VERSION + "\n");
    }
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0) continue;
        const std::string help = commandHelp(argv[1]);
        if (help.empty()) return usageError(std::string("unknown command ") + argv[1]);
        return printHelp(help);
    }
    std::string error;
    const auto options = parse(argc, argv, error);
    if (!options) return usageError(error);
    if (const std::string why = outputOverwritesInput(*options); !why.empty()) return failure(why);
    const std::vector<std::pair<const char*, const std::vector<std::string>*>> commandOptions = {
        {"read", &kReadOptions}, {"view", &kViewOptions}, {"roi", &kRoiOptions}};
    for (const auto& [command, allowed] : commandOptions) {
        if (options->command != command) continue;
        if (const std::string name = foreignOption(*options, *allowed); !name.empty()) {
            return usageError(options->command + " does not take " + name);
        }
    }
    int status = 0;
    if (options->command == "read") {
        status = read(*options);
    } else if (options->command == "view") {
        status = view(*options);
    } else if (options->command == "roi") {
        status = roi(*options);
    } else if (options->command == "mtf") {
        status = mtf(*options);
    } else if (options->command == "nnps") {
        status = isIec(*options) ? iecNnps(*options) : nnps(*options);
    } else if (options->command == "dqe") {
        status = isIec(*options) ? iecDqe(*options) : dqe(*options);
    } else if (options->command == "convert") {
        status = convert(*options);
    } else {
        return usageError("unknown command " + options->command);
    }
    // Output lost to a full disk or a closed pipe is a failure, not a result.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return failure(std::string("cannot write the output (") + std::strerror(errno) + ")");
    }
    return status;
}
