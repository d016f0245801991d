#!/usr/bin/env bash
# Fetches real DICOM files that Debian packages ship (octave-dicom, python3-pydicom,
# python3-nibabel) into FOLDER/files for the reader's tests, and the whole DICOM test set of
# pydicom into FOLDER/files/pydicom. The packages are downloaded and unpacked, not installed;
# nothing of them is committed.
set -euo pipefail
dest=$(realpath -m "${1:?usage: fetch-test-dicom.sh FOLDER}")
files="$dest/files"
wanted=(CT-MONO2-16-ankle.dcm simple-test.dcm rtstruct.dcm CT_small.dcm MR_small_implicit.dcm
        ExplVR_BigEnd.dcm JPEG2000.dcm liver_1frame.dcm rtdose.dcm siemens_dwi_0.dcm
        philips_mprage.dcm)
have=0
for f in "${wanted[@]}"; do [ -s "$files/$f" ] && have=$((have + 1)); done
[ "$have" -eq "${#wanted[@]}" ] && [ -s "$files/pydicom/MR_small_padded.dcm" ] && exit 0

mkdir -p "$dest/debs" "$dest/unpacked" "$files/pydicom"
cd "$dest/debs"
if ! apt-get download octave-dicom python3-pydicom python3-nibabel; then
    # The package lists may never have been fetched on this machine.
    if [ "$(id -u)" -eq 0 ]; then apt-get update -q; else sudo apt-get update -q; fi
    apt-get download octave-dicom python3-pydicom python3-nibabel
fi
for deb in *.deb; do dpkg-deb -x "$deb" ../unpacked; done
cd ../unpacked
cp usr/share/octave/packages/dicom-*/imdata/{CT-MONO2-16-ankle,simple-test,rtstruct}.dcm "$files/"
for f in CT_small MR_small_implicit ExplVR_BigEnd JPEG2000 liver_1frame rtdose; do
    cp usr/lib/python3/dist-packages/pydicom/data/test_files/$f.dcm "$files/"
done
cp usr/lib/python3/dist-packages/pydicom/data/test_files/*.dcm "$files/pydicom/"
for f in siemens_dwi_0 philips_mprage; do
    gunzip -c usr/lib/python3/dist-packages/nibabel/nicom/tests/data/$f.dcm.gz > "$files/$f.dcm"
done
echo "Fetched ${#wanted[@]} DICOM files and pydicom's test set into $files"
