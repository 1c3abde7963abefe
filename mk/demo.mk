# make demo: build everything, write the sample world into sample/ and audit it, so that the
# tool's own progress lines, warnings and histogram show. Outputs go to out/ (both folders are
# git-ignored). Look at the sheet with: convert out/sheet.ppm out/sheet.png

SAMPLE_DIR ?= sample
DEMO_OUT ?= out

.PHONY: demo

demo: build
	$(BUILD_DIR)/quorvane-sample --out-dir $(SAMPLE_DIR)
	$(BUILD_DIR)/quorvane-tools --portal-dat $(SAMPLE_DIR)/client_portal.dat \
	  --cell-dat $(SAMPLE_DIR)/client_cell_1.dat --landblock 0xA9B4 \
	  --out $(DEMO_OUT)/audit.json --contact-sheet $(DEMO_OUT)/sheet.ppm
	@echo "Audit: $(DEMO_OUT)/audit.json  Sheet: $(DEMO_OUT)/sheet.ppm (to PNG: convert $(DEMO_OUT)/sheet.ppm $(DEMO_OUT)/sheet.png)"
	@echo "What the sample was built to contain: $(SAMPLE_DIR)/sample-manifest.tsv"
